// Saving, loading and copying whole networks through the host's block
// streams. A network is one "NETW" block:
//
//   NETW  Network         nested
//     VERS  Version       leaf: format version (1); comes first
//     RDEF  Root defaults leaf: count, then per root input: name, 3 doubles
//     NODE  Node          nested, one per node besides the root, in order
//       HEAD  Header      leaf: kind (0 built-in, 1 module), name, type; first
//       DEFS  Defaults    leaf: count, then per input: name, 3 doubles
//       RAMP  Ramp keys   leaf: count, then per key: position, 3 doubles
//       DATA  Module data nested: what the module node's save callback wrote
//     LINK  Connection    leaf: from node, output, to node, input
//
// Texts and doubles are encoded as described in network_codec.h.
#pragma once

#include "../host.h"
#include "network.h"

#include <host/streams.h>

namespace minihost {

inline constexpr int32_t kNetworkFormatVersion = 1;

// A save or load fault. text() is the constant the node-editor services hand
// the module; what() says what exactly went wrong.
class NetworkIoError : public HostError {
  public:
    NetworkIoError(const char* text, const std::string& detail) : HostError(detail), text_(text) {}
    const char* text() const { return text_; }

  private:
    const char* text_;
};

// The constant texts of NetworkIoError.
inline constexpr const char* kNetworkMalformed = "Node network data is malformed.";
inline constexpr const char* kNetworkNodeCreate = "A node of the network could not be created.";
inline constexpr const char* kNetworkNodeLoad = "A node could not load its settings.";
inline constexpr const char* kNetworkNodeSave = "A node could not save its settings.";
inline constexpr const char* kNetworkNodeCopy = "A node could not copy its settings.";

// Writes the network as one "NETW" block at the save record's current level.
// Throws NetworkIoError when a module node's save reports a failure; every
// block begun is ended all the same.
void saveNetwork(const Network& network, const SaveState& save);

// Reads the first "NETW" block at the load record's current level into a
// fresh set of nodes and swaps them in for the network's own (the root node
// and its inputs stay). On any fault throws NetworkIoError and leaves the
// network exactly as it was; the load record is left at the level it was
// found at. With a copy source, each module node of the source is copied
// (copy callback) into the new node of the same name and type before that
// node loads its blocks.
void loadNetwork(Network& network, const LoadState& load, const Network* copySource = nullptr);

// Makes `to` a duplicate of `from`, module node settings included: the
// source is saved to an in-memory stream and loaded back, so modules whose
// copy callback copies nothing still carry their settings over. All or
// nothing, like a load.
void copyNetwork(Network& to, const Network& from);

} // namespace minihost
