// The framework's set types: a set of the values of an enumeration, one bit each.
#pragma once

#include <cstdint>
#include <initializer_list>

// A set of the values of the enumeration E, whose values count up from 0 and number
// at most 32: `using TFontStyles = TSet<TFontStyle>;`.
template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E item : items) Include(item);
  }
  constexpr bool Contains(E item) const { return (bits_ & Bit(item)) != 0; }
  constexpr void Include(E item) { bits_ |= Bit(item); }
  constexpr void Exclude(E item) { bits_ &= ~Bit(item); }
  constexpr bool Empty() const { return bits_ == 0; }
  // The members as bits: the value numbered n is bit n.
  constexpr uint32_t Bits() const { return bits_; }
  constexpr TSet operator+(E item) const {
    TSet result = *this;
    result.Include(item);
    return result;
  }
  constexpr TSet operator-(E item) const {
    TSet result = *this;
    result.Exclude(item);
    return result;
  }
  constexpr bool operator==(const TSet&) const = default;

 private:
  static constexpr uint32_t Bit(E item) { return uint32_t{1} << static_cast<unsigned>(item); }
  uint32_t bits_ = 0;
};
