#include "ports/DataFrame.h"

#include <algorithm>
#include <cstring>

namespace pv {

int DataFrame::encode(const uint8_t* block, int length, Buffer& frame) {
    if (length < 0 || length > kMaxPayload || (length > 0 && block == nullptr)) {
        return 0;
    }
    frame[0] = kTypeData;
    frame[1] = static_cast<uint8_t>(length >> 8);
    frame[2] = static_cast<uint8_t>(length & 0xFF);
    if (length > 0) {
        std::memcpy(frame.data() + kHeaderSize, block, static_cast<size_t>(length));
    }
    return length + kHeaderSize;
}

int DataFrameReader::read(const uint8_t* data, int length) {
    int used = 0;
    while (used < length && !ready_) {
        if (remaining_ == 0) {
            header_[static_cast<size_t>(headerFilled_++)] = data[used++];
            if (headerFilled_ == DataFrame::kHeaderSize) {
                headerFilled_ = 0;
                type_ = header_[0];
                remaining_ = (header_[1] << 8) | header_[2];
            }
            continue;
        }
        int take = std::min(remaining_, length - used);
        if (type_ != DataFrame::kTypeData) {
            used += take;
            remaining_ -= take;
            continue;
        }
        take = std::min(take, DataFrame::kMaxPayload - filled_);
        std::memcpy(payload_.data() + filled_, data + used, static_cast<size_t>(take));
        filled_ += take;
        used += take;
        remaining_ -= take;
        ready_ = remaining_ == 0 || filled_ == DataFrame::kMaxPayload;
    }
    return used;
}

void DataFrameReader::releasePayload() {
    ready_ = false;
    filled_ = 0;
}

bool DataFrameReader::finish() {
    headerFilled_ = 0;
    remaining_ = 0;
    if (filled_ > 0) {
        ready_ = true;
    }
    return ready_;
}

void DataFrameReader::reset() {
    headerFilled_ = 0;
    remaining_ = 0;
    releasePayload();
}

}  // namespace pv
