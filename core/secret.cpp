#include "core/secret.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorvin::text {

void WipeBytes(void* bytes, std::size_t size) {
#ifdef _WIN32
    SecureZeroMemory(bytes, size);
#else
    volatile unsigned char* p = static_cast<volatile unsigned char*>(bytes);
    for (std::size_t i = 0; i < size; ++i) p[i] = 0;
#endif
}

}  // namespace quorvin::text
