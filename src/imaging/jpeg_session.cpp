#include "imaging/jpeg_session.h"

namespace imaging::jpeg {

namespace {

SessionErrors& errorsOf(j_common_ptr info) {
    return *reinterpret_cast<SessionErrors*>(info->err);
}

[[noreturn]] void jumpBack(j_common_ptr info) {
    SessionErrors& errors = errorsOf(info);
    errors.failure = info->err->msg_code;
    (*info->err->format_message)(info, errors.message);
    std::longjmp(errors.jump, 1);
}

// Level -1 is a warning; higher levels are trace messages.
void onMessage(j_common_ptr info, int level) {
    if (level >= 0) {
        return;
    }
    ++info->err->num_warnings;
    SessionErrors& errors = errorsOf(info);
    if (errors.damages == nullptr || !errors.damages(info->err->msg_code)) {
        return;
    }
    if (errors.failOnDamage) {
        jumpBack(info);
    }
    if (errors.damageWarnings++ == 0) {
        (*info->err->format_message)(info, errors.firstDamage);
    }
}

}  // namespace

jpeg_error_mgr* SessionErrors::armed() {
    jpeg_std_error(&manager);
    manager.error_exit = jumpBack;
    manager.emit_message = onMessage;
    failure = 0;
    message[0] = '\0';
    damageWarnings = 0;
    firstDamage[0] = '\0';
    return &manager;
}

}  // namespace imaging::jpeg
