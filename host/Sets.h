// TSet<E>: the classic `set of` an enumeration with at most 64 members, as a bit set.
// Bit n is the member with ordinal n, so Bits() is the value stored in records and streams.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace host {

template <class E>
class TSet {
    static_assert(std::is_enum_v<E>, "TSet needs an enumeration");

public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members) {
        for (E m : members)
            fBits |= Bit(m);
    }
    static constexpr TSet FromBits(uint64_t bits) {
        TSet s;
        s.fBits = bits;
        return s;
    }

    constexpr uint64_t Bits() const { return fBits; }
    constexpr bool Contains(E m) const { return (fBits & Bit(m)) != 0; }
    constexpr bool Empty() const { return fBits == 0; }
    constexpr void Include(E m) { fBits |= Bit(m); }
    constexpr void Exclude(E m) { fBits &= ~Bit(m); }

    constexpr TSet operator+(TSet o) const { return FromBits(fBits | o.fBits); }  // union
    constexpr TSet operator-(TSet o) const { return FromBits(fBits & ~o.fBits); } // difference
    constexpr TSet operator*(TSet o) const { return FromBits(fBits & o.fBits); }  // intersection
    constexpr TSet& operator+=(TSet o) {
        fBits |= o.fBits;
        return *this;
    }
    constexpr TSet& operator-=(TSet o) {
        fBits &= ~o.fBits;
        return *this;
    }
    constexpr bool operator==(const TSet&) const = default;
    // Subset test (classic `<=`).
    constexpr bool IsSubsetOf(TSet o) const { return (fBits & ~o.fBits) == 0; }

private:
    static constexpr uint64_t Bit(E m) { return uint64_t{1} << static_cast<unsigned>(m); }
    uint64_t fBits = 0;
};

} // namespace host
