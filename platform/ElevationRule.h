// When a restart with administrator rights ("runas") can give a launcher that a
// folder refuses the rights it lacks. A restart that cannot would be refused
// again and restart again, for ever.
#pragma once

namespace srdw {

// The kinds of token User Account Control gives (Windows' TOKEN_ELEVATION_TYPE).
enum class TokenKind {
    Plain = 1,    // no linked token: UAC is off, or a standard user, or the built-in administrator
    Full = 2,     // the full half of an administrator's split token
    Limited = 3,  // the limited half: runas gives the full one
};

struct RightsFacts {
    bool elevated = false;  // the token holds administrator rights in full
    TokenKind kind = TokenKind::Plain;
    bool uacOn = true;               // User Account Control is switched on
    bool restartedElevated = false;  // this launcher is itself such a restart
};

// A plain token gains rights only where UAC asks an administrator for their
// name and password; with UAC off, runas starts the same token again.
constexpr bool ElevationCanHelp(const RightsFacts& facts) {
    if (facts.elevated || facts.restartedElevated) {
        return false;
    }
    return facts.kind == TokenKind::Limited || (facts.kind == TokenKind::Plain && facts.uacOn);
}

}  // namespace srdw
