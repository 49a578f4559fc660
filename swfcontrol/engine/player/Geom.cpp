#include "swfcontrol/engine/player/ClassSupport.h"
#include "swfcontrol/engine/player/GeomClasses.h"

namespace swf::player {

void installGeom(Vm& vm, TransformTarget* transforms)
{
    Object* package = flashPackage(vm, "geom");
    installPoint(vm, package);
    installRectangle(vm, package);
    installMatrix(vm, package);
    installColorTransform(vm, package);
    installTransform(vm, package, transforms);
}

} // namespace swf::player
