// Windows emulation: a load once held back the system's screen-saver and
// task-switch keys while it ran. The desktops this runs on have no such
// switch, so the calls stay where the load makes them and do nothing.
#pragma once

namespace calmora {

inline void SuspendSystemKeys() {}
inline void ResumeSystemKeys() {}

}  // namespace calmora
