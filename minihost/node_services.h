// Registers the node-graph services ("NodeEditorFuncs", "NodeFuncs",
// "NodeInputFuncs", "NodeOutputFuncs") with a host.
#pragma once

namespace minihost {

class Host;
void provideNodeServices(Host& host);

} // namespace minihost
