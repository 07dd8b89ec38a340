#include "platform/mp4/recording_marker.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/mp4/mp4_box.h"

namespace vantorel::mp4 {

namespace {
constexpr std::string_view kNote = "Vantorel: recording in progress";
}

std::vector<uint8_t> inProgressMarker(uint32_t size) {
    BoxWriter box;
    box.open(fourcc("uuid"));
    box.bytes(kInProgressId.data(), kInProgressId.size());
    box.bytes(reinterpret_cast<const uint8_t*>(kNote.data()), kNote.size());
    while (box.data().size() < size) {
        box.u8(0);
    }
    box.close();
    return box.data();
}

bool isInProgressId(const uint8_t* usertype) {
    return std::memcmp(usertype, kInProgressId.data(), kInProgressId.size()) == 0;
}

}  // namespace vantorel::mp4
