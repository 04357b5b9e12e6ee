// Fuzz targets: each feeds one of the program's readers and checks what it
// gives, not only that nothing crashes. The same target code runs under
// libFuzzer (scripts/fuzz) and in the replay program that ctest runs over the
// committed corpora, so every input once found stays a regression test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace fuzz {

using TargetFunction = int (*)(const std::uint8_t *data, std::size_t size);

// Replay build: adds a target to the table the replay program runs.
bool RegisterTarget(const char *name, TargetFunction function);

// Reports a property that does not hold. Under libFuzzer the run stops there
// (the input is saved as a finding); in the replay the input counts as failed.
[[noreturn]] void Fail(const char *file, int line, const char *condition,
                       const std::string &detail);

// The input as text.
inline std::string_view Text(const std::uint8_t *data, std::size_t size) {
    return {reinterpret_cast<const char *>(data), size};
}

// Values of the input taken from its front, for targets that build a
// structure from the bytes; an exhausted input gives zeros.
class Bytes {
  public:
    Bytes(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return size_ ? (--size_, *data_++) : 0; }
    std::uint32_t Word() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | Byte();
        return v;
    }
    double Double() {
        std::uint64_t bits = (std::uint64_t(Word()) << 32) | Word();
        double d;
        static_assert(sizeof d == sizeof bits);
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    std::size_t Left() const { return size_; }
    std::string_view Rest() {
        std::string_view rest(reinterpret_cast<const char *>(data_), size_);
        data_ += size_;
        size_ = 0;
        return rest;
    }

  private:
    const std::uint8_t *data_;
    std::size_t size_;
};

} // namespace fuzz

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) ::fuzz::Fail(__FILE__, __LINE__, #condition, std::string());             \
    } while (0)

// The same with a description of the values involved.
#define FUZZ_CHECK_MSG(condition, detail)                                                          \
    do {                                                                                           \
        if (!(condition)) ::fuzz::Fail(__FILE__, __LINE__, #condition, (detail));                  \
    } while (0)

#ifdef VELORINDER_LIBFUZZER
#define FUZZ_TARGET(name)                                                                          \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
#else
#define FUZZ_TARGET(name)                                                                          \
    static int FuzzTarget_##name(const std::uint8_t *data, std::size_t size);                      \
    [[maybe_unused]] static const bool fuzzRegistered_##name =                                     \
        ::fuzz::RegisterTarget(#name, FuzzTarget_##name);                                          \
    static int FuzzTarget_##name(const std::uint8_t *data, std::size_t size)
#endif
