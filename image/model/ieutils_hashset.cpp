// THash1: the set of 32-bit keys the colour counters use.
#include "image/model/ieutils.h"

#include <algorithm>

#include "platform/rtl/Exceptions.h"

THash1::THash1(Integer bits) {
  if (bits < 0 || bits > 24) throw ERangeError("Hash size out of range");
  bits_ = bits;
  bucketCount_ = DWORD{1} << bits;
  states_.assign(bucketCount_, Empty);
  singles_.assign(bucketCount_, 0);
  chains_.resize(bucketCount_);
}

THash1::~THash1() = default;

bool THash1::Insert(DWORD key) {
  const DWORD bucket = HashFunc(key);
  switch (states_[bucket]) {
    case Empty:
      singles_[bucket] = key;
      states_[bucket] = Single;
      break;
    case Single:
      if (singles_[bucket] == key) return false;
      chains_[bucket] = std::make_unique<std::vector<DWORD>>(
          std::initializer_list<DWORD>{singles_[bucket], key});
      states_[bucket] = Chained;
      break;
    default: {
      std::vector<DWORD>& chain = *chains_[bucket];
      if (std::find(chain.begin(), chain.end(), key) != chain.end()) return false;
      chain.push_back(key);
      break;
    }
  }
  ++count_;
  return true;
}

bool THash1::KeyPresent(DWORD key) const {
  const DWORD bucket = HashFunc(key);
  switch (states_[bucket]) {
    case Empty:
      return false;
    case Single:
      return singles_[bucket] == key;
    default: {
      const std::vector<DWORD>& chain = *chains_[bucket];
      return std::find(chain.begin(), chain.end(), key) != chain.end();
    }
  }
}
