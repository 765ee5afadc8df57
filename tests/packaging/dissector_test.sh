#!/usr/bin/env bash
# The Wireshark dissector on a capture of a real exchange recorded in a
# namespace of the test's own (a search, a two-chunk configuration file, its
# acknowledgements, the device's verdict), and on hand-made frames that break
# the link's rules. Usage: dissector_test.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN="$1"
SRC="$2"
. "$SRC/tests/packaging/segment.sh"
need_root
need tshark tcpdump python3
LUA="$SRC/packaging/wireshark/quorvantix.lua"
DEVICE_MAC=02:00:00:00:00:01

make_segment
mkdir -p "$SCRATCH/home/ModifyXml" "$SCRATCH/out"
start_devsim "$BIN/quorvantix-devsim" --count 1 --output "$SCRATCH/out"

# A template of a little over one chunk.
{
    echo '<?xml version="1.0"?>'
    echo '<Config>'
    for i in $(seq 1 40); do echo "  <Value Name=\"FILLER_$i\" Value=\"$i\"/>"; done
    echo '</Config>'
} >"$SCRATCH/t.xml"

# Immediate mode: every frame is handed over at once, none waits in the ring
# when the recording is stopped.
ip netns exec "$NS" tcpdump --immediate-mode -i "$TOOL_END" -U -w "$SCRATCH/cap.pcap" ether proto 0x6262 \
    2>"$SCRATCH/tcpdump.err" &
TCPDUMP=$!
CLEANUP+=("kill $TCPDUMP")
for ((i = 0; i < 500; i++)); do
    grep -qs "listening on" "$SCRATCH/tcpdump.err" && break
    sleep 0.01
done

set +e
in_segment "$BIN/quorvantix-cli" --home "$SCRATCH/home" push --adapter "$TOOL_END" \
    --broadcasts 1 --wait 15 --config "$SCRATCH/t.xml" --mac "$DEVICE_MAC" >"$SCRATCH/push.out" 2>&1
rc=$?
set -e
check "push exit code" 0 "$rc"
sleep 0.5
kill -INT "$TCPDUMP"
wait "$TCPDUMP" || true
CLEANUP+=(": tcpdump has ended")

sent="$(ls "$SCRATCH"/out/*para* 2>/dev/null | head -n1)"
size=$(stat -c %s "$sent")
if [ "$size" -le 1024 ] || [ "$size" -gt 2048 ]; then
    echo "FAIL: the configuration copy is $size bytes, not two chunks"
    exit 1
fi
last=$((size - 1024))

dissect() { # dissect PCAP FIELD...
    local pcap="$1" args=() field
    shift
    for field in "$@"; do args+=(-e "$field"); done
    tshark -r "$pcap" -X "lua_script:$LUA" -T fields -E separator='|' -E occurrence=a \
        -E aggregator=';' "${args[@]}" 2>/dev/null
}

# Sender, category, opcode, sequence, file count, chunk position, data length,
# the reply's four texts, Info. A retransmitted frame would repeat its line.
actual="$(dissect "$SCRATCH/cap.pcap" eth.src quorvantix.category quorvantix.opcode \
    quorvantix.sequence quorvantix.file_count quorvantix.chunk_position quorvantix.data_length \
    quorvantix.ssid2 quorvantix.ssid5 quorvantix.wpakey2 quorvantix.wpakey5 _ws.col.Info |
    sed -e "s/^$DEVICE_MAC|/device|/" -e 's/^[0-9a-f:]\{17\}|/tool|/' | uniq)"
expected="tool|0|1|0|0|0|0|||||discovery request
device|0|4|0|0|0|0|Quorvantix-2G-1|Quorvantix-5G-1|key2-1|key5-1|discovery reply
tool|1|2|1|1|1|1024|||||data 1 (first)
device|1|4|1|0|0|0|||||ack 1
tool|1|2|2|1|2|$last|||||data 2 (last)
device|1|4|2|0|0|0|||||ack 2
device|1|6|0|0|0|0|||||ParaSuccess"
check "fields and Info of the recorded exchange" "$expected" "$actual"
check "no warning on the recorded exchange" "" \
    "$(dissect "$SCRATCH/cap.pcap" _ws.expert.message | tr -d '\n')"
check "the data bytes are the file's first chunk" "$(head -c 1024 "$sent" | od -An -tx1 | tr -d ' \n')" \
    "$(dissect "$SCRATCH/cap.pcap" quorvantix.data | sed -n 3p | tr -d ':')"

# Hand-made frames that break the rules.
python3 "$SRC/tests/packaging/handmade_frames.py" "$SCRATCH/bad.pcap"
actual="$(dissect "$SCRATCH/bad.pcap" _ws.col.Info _ws.expert.message quorvantix.ssid2)"
expected="data 0 (first)|Sequence 0 in a data frame|
data 7|Data length 2000 over 1024|
discovery reply|Text without terminator in its 34-byte field|SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS"
check "warnings on hand-made frames" "$expected" "$actual"
finish
