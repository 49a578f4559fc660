// The classes of flash.geom, each installing itself into the package.
#pragma once

#include "swfcontrol/engine/player/Geom.h"

namespace swf::player {

void installPoint(script::Vm& vm, script::Object* package);
void installRectangle(script::Vm& vm, script::Object* package);
void installMatrix(script::Vm& vm, script::Object* package);
void installColorTransform(script::Vm& vm, script::Object* package);
void installTransform(script::Vm& vm, script::Object* package, TransformTarget* target);

} // namespace swf::player
