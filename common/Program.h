#pragma once
// The macros are shared with the resource script, which cannot read C++.
#define QB_NAME "Quillbox"
#define QB_VERSION_MAJOR 1
#define QB_VERSION_MINOR 2
#define QB_VERSION_REVISION 2485

#ifndef RC_INVOKED
#include "common/Contact.h"
#include "common/Text.h"
#include <cstdint>

struct AppVersion {
    uint16_t Major;
    uint16_t Minor;
    uint16_t Revision;
};

struct Contact {
    const char16_t* Name;
    const char16_t* Mail;
};

struct Program {
    static constexpr const char16_t* Name = u"" QB_NAME;
    static constexpr AppVersion Version{QB_VERSION_MAJOR, QB_VERSION_MINOR, QB_VERSION_REVISION};
    // The packager's build settings (common/Contact.h.in).
    static constexpr Contact Author{u"" QB_CONTACT_NAME, u"" QB_CONTACT_MAIL};
};
#endif
