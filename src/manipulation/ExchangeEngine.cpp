#include "manipulation/ExchangeEngine.h"

#include <algorithm>
#include <cstring>

namespace pv {

namespace {

bool sameSequences(const ExchangeSet& a, const ExchangeSet& b) {
    return a.wildcard == b.wildcard && std::ranges::equal(a.searchBytes(), b.searchBytes()) &&
           std::ranges::equal(a.replaceBytes(), b.replaceBytes());
}

}  // namespace

void ExchangeEngine::Pass(const uint8_t* data, size_t count, ExchangeSink& out) {
    adoptSettings(out);
    if (count > 0) {
        feed(0, data, count, out);
    }
}

void ExchangeEngine::Release(ExchangeSink& out) {
    for (size_t k = 0; k < stages_.size(); ++k) {
        Stage& st = stages_[k];
        if (st.carryLength == 0) {
            continue;
        }
        // At the end of the data a partial match can no longer complete, so the scan sends it
        // on as it is; the sets behind this one still see it.
        const size_t n = st.carryLength;
        std::memcpy(st.work.data(), st.carry.data(), n);
        held_ -= n;
        st.carryLength = 0;
        scan(k, st.work.data(), n, true, out);
        flushOut(k, out);
    }
    adoptSettings(out);
}

// Held bytes wait for the rest of a match under the sets that held them; when the sets change,
// they go on as they are rather than meet a search they were never checked against.
void ExchangeEngine::adoptSettings(ExchangeSink& out) {
    if (settings_.generation() == generation_) {
        return;
    }
    bool changed = false;
    for (size_t k = 0; k < stages_.size(); ++k) {
        const ExchangeSet& copy = settings_.passCopy(static_cast<int>(k) + 1);
        const bool on = copy.active && copy.searchLength > 0;
        changed = changed || on != stages_[k].on || (on && !sameSequences(copy, stages_[k].set));
    }
    if (changed && held_ > 0) {
        Release(out);  // adopts the new sets when it ends
        return;
    }
    generation_ = settings_.generation();
    for (size_t k = 0; k < stages_.size(); ++k) {
        Stage& st = stages_[k];
        st.set = settings_.passCopy(static_cast<int>(k) + 1);
        // A set with nothing to search would match everywhere without moving on.
        st.on = st.set.active && st.set.searchLength > 0;
        for (size_t i = 0; i < st.any.size(); ++i) {
            st.any[i] = st.set.wildcard && st.set.search[i] == kExchangeWildcard;
        }
    }
}

void ExchangeEngine::feed(size_t stage, const uint8_t* data, size_t count, ExchangeSink& sink) {
    while (stage < stages_.size() && !stages_[stage].on) {
        ++stage;
    }
    if (stage == stages_.size()) {
        while (count > 0) {
            const size_t piece = std::min(count, kChunk);
            sink.put(data, piece);
            data += piece;
            count -= piece;
        }
        return;
    }
    Stage& st = stages_[stage];
    while (count > 0) {
        if (st.carryLength == 0) {
            scan(stage, data, count, false, sink);
            break;
        }
        // The held bytes and the new ones are scanned as one piece.
        const size_t held = st.carryLength;
        const size_t take = std::min(count, kChunk);
        std::memcpy(st.work.data(), st.carry.data(), held);
        std::memcpy(st.work.data() + held, data, take);
        held_ -= held;
        st.carryLength = 0;
        scan(stage, st.work.data(), held + take, false, sink);
        data += take;
        count -= take;
    }
    flushOut(stage, sink);
}

void ExchangeEngine::scan(size_t stage, const uint8_t* data, size_t count, bool final,
                          ExchangeSink& sink) {
    Stage& st = stages_[stage];
    const size_t m = static_cast<size_t>(st.set.searchLength);
    const uint8_t* search = st.set.search.data();
    const bool anyFirst = st.any[0];
    size_t run = 0;  // start of the bytes that go on unchanged
    size_t p = 0;
    while (p < count) {
        if (!anyFirst) {
            const void* hit = std::memchr(data + p, search[0], count - p);
            if (hit == nullptr) {
                break;
            }
            p = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
        }
        const size_t left = count - p;
        const size_t limit = std::min(m, left);
        size_t i = 1;
        while (i < limit && (data[p + i] == search[i] || st.any[i])) {
            ++i;
        }
        if (i == m) {
            deliver(stage, data + run, p - run, sink);
            deliver(stage, st.set.replace.data(), static_cast<size_t>(st.set.replaceLength), sink);
            p += m;
            run = p;
        } else if (i == left) {
            // The data ends inside a possible match; no later position can complete one either.
            if (!final) {
                deliver(stage, data + run, p - run, sink);
                setCarry(st, data + p, left);
                return;
            }
            break;
        } else {
            ++p;
        }
    }
    deliver(stage, data + run, count - run, sink);
}

void ExchangeEngine::setCarry(Stage& st, const uint8_t* data, size_t count) {
    std::memcpy(st.carry.data(), data, count);
    st.carryLength = count;
    held_ += count;
}

void ExchangeEngine::deliver(size_t stage, const uint8_t* data, size_t count, ExchangeSink& sink) {
    Stage& st = stages_[stage];
    while (count > 0) {
        const size_t piece = std::min(count, kChunk - st.outLength);
        std::memcpy(st.out.data() + st.outLength, data, piece);
        st.outLength += piece;
        data += piece;
        count -= piece;
        if (st.outLength == kChunk) {
            flushOut(stage, sink);
        }
    }
}

void ExchangeEngine::flushOut(size_t stage, ExchangeSink& sink) {
    Stage& st = stages_[stage];
    if (st.outLength == 0) {
        return;
    }
    const size_t n = st.outLength;
    st.outLength = 0;
    feed(stage + 1, st.out.data(), n, sink);
}

}  // namespace pv
