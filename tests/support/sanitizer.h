// UNDER_ADDRESS_SANITIZER is defined when the build runs under
// AddressSanitizer, whose allocator and mappings some tests must allow for.
#ifndef VELMORA_TEST_SANITIZER_H
#define VELMORA_TEST_SANITIZER_H

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER 1
#endif
#endif

#endif  // VELMORA_TEST_SANITIZER_H
