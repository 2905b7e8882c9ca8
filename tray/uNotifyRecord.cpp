#include "uNotifyRecord.h"

void ResetNotifyRecord(TNotifyRecord& record)
{
    record = TNotifyRecord{};
}
