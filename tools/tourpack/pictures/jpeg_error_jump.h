// libjpeg reports a fatal error by calling error_exit, which must not
// return: here it jumps back to the setjmp of the guarded call, keeping the
// library's message. Damaged data (entropy data that ends early or does not
// decode) is only a warning to libjpeg, which fills in what is missing and
// goes on: such warnings are counted, the first one's message kept, so that a
// caller that must refuse damaged pictures can. Other warnings (an unknown
// JFIF revision, say) say nothing about the pixels and are dropped.
#pragma once

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace tourpack {

struct JpegErrorJump {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
    int damageWarnings = 0;
    char firstDamage[JMSG_LENGTH_MAX] = {};

    // The handler for the structs whose `err` is set to it.
    jpeg_error_mgr* armed() {
        jpeg_std_error(&manager);
        damageWarnings = 0;
        firstDamage[0] = '\0';
        manager.error_exit = [](j_common_ptr info) {
            auto* self = reinterpret_cast<JpegErrorJump*>(info->err);
            (*info->err->format_message)(info, self->message);
            std::longjmp(self->jump, 1);
        };
        manager.emit_message = [](j_common_ptr info, int level) {
            if (level >= 0) {
                return;  // trace messages
            }
            ++info->err->num_warnings;
            auto* self = reinterpret_cast<JpegErrorJump*>(info->err);
            if (reportsDamage(info->err->msg_code) && self->damageWarnings++ == 0) {
                (*info->err->format_message)(info, self->firstDamage);
            }
        };
        return &manager;
    }

    // The warnings libjpeg gives for data it could not decode and filled in.
    static bool reportsDamage(int code) {
        switch (code) {
            case JWRN_JPEG_EOF:           // the file ends inside the picture
            case JWRN_HIT_MARKER:         // a segment's entropy data ends early
            case JWRN_MUST_RESYNC:        // restart markers out of order
            case JWRN_EXTRANEOUS_DATA:    // bytes where a marker belongs
            case JWRN_HUFF_BAD_CODE:      // no such Huffman code
            case JWRN_ARITH_BAD_CODE:     // the arithmetic decoder lost its way
            case JWRN_NOT_SEQUENTIAL:     // a scan a baseline picture cannot have
            case JWRN_BOGUS_PROGRESSION:  // progressive scans that do not fit
                return true;
            default:
                return false;
        }
    }
};

}  // namespace tourpack
