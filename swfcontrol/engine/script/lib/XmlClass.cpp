#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"

namespace swf::script {

void installXmlClasses(Vm& vm) { (void)vm; }

} // namespace swf::script
