// A set of the flags of one enumeration, as the GUI layer passes modifier keys, styles and icons.
#pragma once

#include <cstdint>
#include <type_traits>

template <class Flag> class TFlagSet {
  using Bits = std::underlying_type_t<Flag>;

public:
  constexpr TFlagSet() = default;
  constexpr TFlagSet(Flag flag) : bits_(static_cast<Bits>(flag)) {}
  constexpr TFlagSet operator|(TFlagSet other) const {
    TFlagSet set;
    set.bits_ = static_cast<Bits>(bits_ | other.bits_);
    return set;
  }
  constexpr bool Contains(Flag flag) const { return (bits_ & static_cast<Bits>(flag)) != 0; }
  constexpr bool operator==(const TFlagSet&) const = default;

private:
  Bits bits_ = 0;
};
