#include "camera.h"

PointedThing main_pointed_thing;

void pointedthing_init(PointedThing* pt)
{
    pt->desc[0] = '\0';
    pt->distance = 1e9f;
    pt->type = PTT_NOTHING;
}
