// libjpeg reports a fatal error by calling error_exit, which must not
// return: here it jumps back to the setjmp of the guarded call, keeping the
// library's message. Warnings are dropped (a picture that reads with
// warnings reads as the library reads it).
#pragma once

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

namespace tourpack {

struct JpegErrorJump {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};

    // The handler for the structs whose `err` is set to it.
    jpeg_error_mgr* armed() {
        jpeg_std_error(&manager);
        manager.error_exit = [](j_common_ptr info) {
            auto* self = reinterpret_cast<JpegErrorJump*>(info->err);
            (*info->err->format_message)(info, self->message);
            std::longjmp(self->jump, 1);
        };
        manager.emit_message = [](j_common_ptr, int) {};
        return &manager;
    }
};

}  // namespace tourpack
