#include "uNotifyRecord.h"

void ResetNotifyRecord(TNotifyRecord& record)
{
    record.Style = nsInformation;
    record.Text1.Clear();
    record.Text2.Clear();
    record.Text3.Clear();
    record.Text4.Clear();
    record.Kind = 0;
    record.Buttons = false;
    record.Seconds = 0;
    record.Value = -1;
}
