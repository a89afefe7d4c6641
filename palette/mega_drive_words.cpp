#include "palette/mega_drive_words.h"

bool appendWord(WordBuffer& buffer, std::uint16_t word)
{
    if (buffer.size == buffer.capacity) {
        // Grown in place where the allocator can, so that the words are not
        // held twice while they are copied.
        const std::size_t capacity = buffer.capacity == 0 ? 4096 : buffer.capacity * 2;
        void* const grown = std::realloc(buffer.words.get(), capacity * sizeof(std::uint16_t));
        if (grown == nullptr) {
            return false;
        }
        static_cast<void>(buffer.words.release());
        buffer.words.reset(static_cast<std::uint16_t*>(grown));
        buffer.capacity = capacity;
    }
    buffer.words[buffer.size] = word;
    ++buffer.size;
    return true;
}
