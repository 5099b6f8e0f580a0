#pragma once

namespace orvex {

// The vCard versions: 2.1 as phones and older programs write it, 3.0 (RFC 2426) and 4.0
// (RFC 6350).
enum class EVCardVersion { kV21, kV30, kV40 };

}  // namespace orvex
