// A base for objects that own something for as long as they live (a handler,
// a folder, a set of replaced callbacks): a copy would give it back twice.
#pragma once

namespace calmora {

class NoCopy {
public:
    NoCopy(const NoCopy&) = delete;
    NoCopy& operator=(const NoCopy&) = delete;

protected:
    NoCopy() = default;
    ~NoCopy() = default;
};

}  // namespace calmora
