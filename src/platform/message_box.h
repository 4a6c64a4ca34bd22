/* platform/message_box.h - the engine's last resort for showing a message.
 *
 * The engine asks its caller first (the message-display callback of a command
 * record).  When there is no callback, or its answer does not fit the buttons
 * offered, the engine shows the message itself through this hook.  The wizard
 * installs a Qt dialog; tests install a recorder.  The default is headless:
 * it writes the title and the text to stderr and answers the style's safe
 * button, so no run can hang on a question nobody sees.
 *
 * Styles and answers are the engine's numbers: buttons in the low 4 bits of
 * the style (0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No,
 * 5 Retry/Cancel, 15 Yes/No/Cancel/Yes to All/Rename); answers 1 OK, 2 Cancel,
 * 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No.
 */
#pragma once

#include <cstdint>

namespace platform {

/// @return the button chosen.
using MessageBoxHook = int (*)(const char* text, const char* title, uint32_t style, void* context);

/// Installs @p hook for the whole process; nullptr restores the headless default.
void set_message_box_hook(MessageBoxHook hook, void* context);

/// Shows a message through the installed hook (or the default).  @return the answer.
int show_message_box(const char* text, const char* title, uint32_t style);

/// The answer the headless default gives: OK for style 0, otherwise the first
/// of Cancel, No, Abort that the style offers.
int safe_answer(uint32_t style);

}  // namespace platform
