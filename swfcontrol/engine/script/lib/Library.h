// The core library: each built-in class installs itself on the global
// object. Run in this order by the Vm's constructor; Object and Function
// come first, the rest may use them.
#pragma once

namespace swf::script {

class Vm;

// What getVersion(), $version and System.capabilities.version answer.
inline constexpr char kPlayerVersion[] = "WIN 8,0,24,0";

void installObjectClass(Vm& vm);
void installFunctionClass(Vm& vm);
void installArrayClass(Vm& vm);
void installStringClass(Vm& vm);
void installNumberClasses(Vm& vm); // Number and Boolean
void installMath(Vm& vm);
void installDateClass(Vm& vm);
void installErrorClass(Vm& vm);
void installGlobalFunctions(Vm& vm);
void installBroadcaster(Vm& vm); // AsBroadcaster
void installSystem(Vm& vm);
void installXmlClasses(Vm& vm); // XML and XMLNode
void installLoadVars(Vm& vm);

} // namespace swf::script
