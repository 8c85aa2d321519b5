#include "tacka.h"

#include "log.h"

tacka3 tacka3_normalize(tacka3 a)
{
    float len = tacka3_length(a);
    ASSERT(len > 0.0f);
    ASSERT(is_finite(len));
    return tacka3_scale(a, 1.0f / len);
}

bool tacka3_try_normalize(tacka3 *a)
{
    float len = tacka3_length(*a);
    if (!(len > 0.0f) || !is_finite(len)) return false;
    *a = tacka3_scale(*a, 1.0f / len);
    return true;
}
