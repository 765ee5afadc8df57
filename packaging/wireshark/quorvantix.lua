-- Wireshark dissector for the Quorvantix device link: raw Ethernet frames of
-- EtherType 0x6262 between the provisioning tool and the gateways.
--
-- Every frame has one layout of 1286 bytes; 16-bit fields are big-endian and
-- the offsets below count from the end of the Ethernet header (byte 14):
--   0 category, 2 sequence, 4 opcode, 6 file count, 8 device information
--   (200 bytes: four zero-terminated texts in a discovery reply), 208 chunk
--   position, 210 reserved (36 bytes), 246 data (1024 bytes), 1270 data length.
--
-- Install: copy into a folder Wireshark reads Lua plugins from (Debian's
-- package puts it into /usr/lib/<arch>/wireshark/plugins), or run
-- tshark -X lua_script:quorvantix.lua.

local quorvantix = Proto("quorvantix", "Quorvantix device link")

local FRAME_BYTES = 1272 -- the 1286-byte frame less its Ethernet header
local CHUNK_BYTES = 1024

local categories = { [0] = "Discover", [1] = "Para", [2] = "Logo" }
local opcodes = {
    [1] = "DiscoverRequest",
    [2] = "ParaData",
    [3] = "LogoData",
    [4] = "Reply",
    [5] = "ParaFail",
    [6] = "ParaSuccess",
    [7] = "LogoFail",
    [8] = "LogoSuccess",
}
local positions = { [0] = "middle", [1] = "first", [2] = "last" }

local f = {
    category = ProtoField.uint16("quorvantix.category", "Category", base.DEC, categories),
    sequence = ProtoField.uint16("quorvantix.sequence", "Sequence", base.DEC),
    opcode = ProtoField.uint16("quorvantix.opcode", "Opcode", base.DEC, opcodes),
    file_count = ProtoField.uint16("quorvantix.file_count", "File count", base.DEC),
    device_info = ProtoField.bytes("quorvantix.device_info", "Device information"),
    ssid2 = ProtoField.string("quorvantix.ssid2", "SSID 2.4 GHz"),
    ssid5 = ProtoField.string("quorvantix.ssid5", "SSID 5 GHz"),
    wpakey2 = ProtoField.string("quorvantix.wpakey2", "WPA key 2.4 GHz"),
    wpakey5 = ProtoField.string("quorvantix.wpakey5", "WPA key 5 GHz"),
    chunk_position = ProtoField.uint16("quorvantix.chunk_position", "Chunk position", base.DEC,
        positions),
    reserved = ProtoField.bytes("quorvantix.reserved", "Reserved"),
    data = ProtoField.bytes("quorvantix.data", "Data"),
    data_length = ProtoField.uint16("quorvantix.data_length", "Data length", base.DEC),
}
quorvantix.fields = f

local e = {
    sequence_zero = ProtoExpert.new("quorvantix.sequence_zero", "Sequence 0 in a data frame",
        expert.group.SEQUENCE, expert.severity.WARN),
    data_length = ProtoExpert.new("quorvantix.data_length_over",
        "Data length over 1024", expert.group.PROTOCOL, expert.severity.WARN),
    unterminated = ProtoExpert.new("quorvantix.unterminated",
        "Text without terminator", expert.group.PROTOCOL, expert.severity.WARN),
    short = ProtoExpert.new("quorvantix.short", "Frame shorter than 1286 bytes",
        expert.group.MALFORMED, expert.severity.WARN),
    unknown = ProtoExpert.new("quorvantix.unknown", "Opcode not used in this category",
        expert.group.PROTOCOL, expert.severity.WARN),
}
quorvantix.experts = e

-- The discovery reply's texts: offset within the payload, width, field.
local texts = {
    { 8, 34, f.ssid2 },
    { 42, 34, f.ssid5 },
    { 76, 66, f.wpakey2 },
    { 142, 66, f.wpakey5 },
}

local function add_text(tree, buffer, offset, width, field)
    local raw = buffer(offset, width):raw()
    local stop = raw:find("\0", 1, true)
    local item
    if stop then
        item = tree:add(field, buffer(offset, stop), raw:sub(1, stop - 1))
    else
        item = tree:add(field, buffer(offset, width), raw)
        item:add_proto_expert_info(e.unterminated,
            "Text without terminator in its " .. width .. "-byte field")
    end
    return item
end

-- The kind of frame, as the Info column shows it.
local function summary(category, opcode, sequence, position)
    if opcode == 1 and category == 0 then
        return "discovery request"
    elseif opcode == 4 and category == 0 then
        return "discovery reply"
    elseif (opcode == 2 and category == 1) or (opcode == 3 and category == 2) then
        local text = "data " .. sequence
        if position == 1 then
            text = text .. " (first)"
        elseif position == 2 then
            text = text .. " (last)"
        end
        return text
    elseif opcode == 4 then
        return "ack " .. sequence
    elseif (category == 1 and (opcode == 5 or opcode == 6))
        or (category == 2 and (opcode == 7 or opcode == 8)) then
        return opcodes[opcode]
    end
    return nil
end

function quorvantix.dissector(buffer, pinfo, tree)
    local length = buffer:len()
    if length < 6 then
        return 0
    end
    pinfo.cols.protocol = "Quorvantix"
    local root = tree:add(quorvantix, buffer(0, math.min(length, FRAME_BYTES)))

    local category = buffer(0, 2):uint()
    local sequence = buffer(2, 2):uint()
    local opcode = buffer(4, 2):uint()
    root:add(f.category, buffer(0, 2))
    local sequence_item = root:add(f.sequence, buffer(2, 2))
    local opcode_item = root:add(f.opcode, buffer(4, 2))

    local is_data = (opcode == 2 and category == 1) or (opcode == 3 and category == 2)
    local position
    local have_all = length >= FRAME_BYTES
    if length >= 8 then
        root:add(f.file_count, buffer(6, 2))
    end
    if length >= 208 then
        local info = root:add(f.device_info, buffer(8, 200))
        if opcode == 4 and category == 0 then
            for _, t in ipairs(texts) do
                add_text(info, buffer, t[1], t[2], t[3])
            end
        end
    end
    if length >= 210 then
        position = buffer(208, 2):uint()
        root:add(f.chunk_position, buffer(208, 2))
    end
    if length >= 246 then
        root:add(f.reserved, buffer(210, 36))
    end
    if have_all then
        local data_length = buffer(1270, 2):uint()
        local length_item = root:add(f.data_length, buffer(1270, 2))
        if is_data then
            if data_length > CHUNK_BYTES then
                length_item:add_proto_expert_info(e.data_length,
                    "Data length " .. data_length .. " over 1024")
            end
            local shown = math.min(data_length, CHUNK_BYTES)
            if shown > 0 then
                root:add(f.data, buffer(246, shown))
            end
        end
    else
        root:add_proto_expert_info(e.short, "Frame of " .. (length + 14) .. " bytes, not 1286")
    end

    if is_data and sequence == 0 then
        sequence_item:add_proto_expert_info(e.sequence_zero)
    end

    local text = summary(category, opcode, sequence, position)
    if not text then
        text = "opcode " .. opcode .. " in category " .. category
        opcode_item:add_proto_expert_info(e.unknown)
    end
    pinfo.cols.info = text
    root:append_text(", " .. text)
    return length
end

DissectorTable.get("ethertype"):add(0x6262, quorvantix)
