// Serves the mailslot named on its command line (behind "\\.\mailslot\") and
// answers every request to the reply slot in its Mess1: the reply is the
// request with "echo:" before Data, B := A + 1 and Bool set. Runs until ended.
#include <windows.h>

#include "uMailSlots.h"

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    TMSlot slot;
    InitMailSlot(slot);
    slot.Name = argv[1];
    CreateMailSlot(slot, false);
    if (!slot.Active) return 1;
    for (;;) {
        if (MailSlotHasMessage(slot)) {
            TMSlotMessage message;
            ReadMailSlot(slot, message);
            std::string replyTo = message.Mess1.Str();
            if (IsReplySlotName(replyTo)) {
                message.Data.Set("echo:" + message.Data.Str());
                message.B = message.A + 1;
                message.Bool = true;
                SendToMailSlot(message, replyTo);
            }
        }
        Sleep(1);
    }
}
