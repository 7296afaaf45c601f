// SPDX-License-Identifier: MIT
// Whether the tests run under AddressSanitizer, whose shadow memory defeats
// an address-space limit.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool address_sanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool address_sanitizer = true;
#else
inline constexpr bool address_sanitizer = false;
#endif
#else
inline constexpr bool address_sanitizer = false;
#endif
