#include "payload/DeviceParams.h"

bool CopyToField(char* field, std::size_t width, std::string_view text) {
    if (width == 0)
        return !text.empty();
    std::memset(field, 0, width);
    const std::size_t room = width - 1;
    std::size_t n = text.size();
    bool cut = false;
    if (n > room) {
        cut = true;
        n = room;
        // Back off over the continuation bytes of a character that does not fit
        // whole; a stray continuation byte (not UTF-8 anyway) is cut as it is.
        std::size_t k = n;
        int steps = 0;
        while (k > 0 && steps < 3 && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80) {
            --k;
            ++steps;
        }
        if (steps > 0 && (static_cast<unsigned char>(text[k]) & 0xC0) == 0xC0)
            n = k;
    }
    if (n > 0)
        std::memcpy(field, text.data(), n);
    return cut;
}
