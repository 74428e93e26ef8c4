#pragma once
// Messages are formatted into fixed buffers; none of the program's own texts comes near
// their size, and snprintf cuts anything longer instead of overrunning.

#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace brevant {

template <size_t N>
class MessageBuffer {
public:
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    const char*
    Format(const char* format, ...) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text_, N, format, args);
        va_end(args);
        return text_;
    }
    const char* c_str() const { return text_; }

private:
    char text_[N] = {};
};

// The run and the update steps use 512 bytes; the restart and X-Loader error texts 128.
using RunMessage = MessageBuffer<512>;
using ShortMessage = MessageBuffer<128>;

// Bytes of a packed version word: major (3), minor (2), revision (1), beta (0).
constexpr unsigned VersionByte(unsigned word, int byte) { return (word >> (8 * byte)) & 0xFFu; }

}  // namespace brevant
