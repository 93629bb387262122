// The errors of one libjpeg session, shared by the player's decoder and
// tourpack. libjpeg reports a fatal error by calling error_exit, which must
// not return: this manager jumps back to the setjmp of the guarded call,
// keeping the error's code and libjpeg's text for it. Damaged data (entropy
// data that ends early or does not decode, scans out of order) is only a
// warning to libjpeg, which fills in what is missing and goes on: the caller
// says which warnings mean damage and whether damage ends the session as an
// error would or is only recorded. Other warnings are counted in
// `num_warnings` and dropped.
#pragma once

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <type_traits>

#include <jpeglib.h>

namespace imaging::jpeg {

struct SessionErrors {
    // First, so that libjpeg's pointer to it leads back to the whole.
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    int failure = 0;  // libjpeg's message code of what ended the session
    char message[JMSG_LENGTH_MAX] = {};

    // Which warnings' codes say that pixels are damaged; none when null.
    bool (*damages)(int code) = nullptr;
    // Damage ends the session (failure and message say which) instead of
    // being recorded below.
    bool failOnDamage = false;
    int damageWarnings = 0;
    char firstDamage[JMSG_LENGTH_MAX] = {};

    // The manager for the structs whose `err` is set to it, with the damage
    // record cleared.
    jpeg_error_mgr* armed();
};

static_assert(std::is_standard_layout_v<SessionErrors>);

}  // namespace imaging::jpeg
