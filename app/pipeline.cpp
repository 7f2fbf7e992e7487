#include "app/pipeline.h"

#include "app/status.h"

namespace tolmek {

// The conversion is not built yet.
int ConvertAudio(ResampleJob* job)
{
    (void)job;
    return kErrInternal;
}

int CopyMarkersAndLoops(ResampleJob* job)
{
    (void)job;
    return kStatusOk;
}

}  // namespace tolmek
