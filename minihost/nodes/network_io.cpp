#include "network_io.h"

#include "../streams.h"
#include "network_codec.h"

#include <set>

namespace minihost {

namespace {

constexpr BlockID kNetworkRow{blockIdOf('N', 'E', 'T', 'W'), "Network"};
constexpr BlockID kVersionRow{blockIdOf('V', 'E', 'R', 'S'), "Version"};
constexpr BlockID kRootDefaultsRow{blockIdOf('R', 'D', 'E', 'F'), "Root defaults"};
constexpr BlockID kNodeRow{blockIdOf('N', 'O', 'D', 'E'), "Node"};
constexpr BlockID kHeaderRow{blockIdOf('H', 'E', 'A', 'D'), "Header"};
constexpr BlockID kDefaultsRow{blockIdOf('D', 'E', 'F', 'S'), "Defaults"};
constexpr BlockID kRampRow{blockIdOf('R', 'A', 'M', 'P'), "Ramp keys"};
constexpr BlockID kDataRow{blockIdOf('D', 'A', 'T', 'A'), "Module data"};
constexpr BlockID kLinkRow{blockIdOf('L', 'I', 'N', 'K'), "Connection"};
constexpr BlockID kEnd{0, nullptr};

constexpr BlockID kTopTable[] = {kNetworkRow, kEnd};
constexpr BlockID kNetworkTable[] = {kVersionRow, kRootDefaultsRow, kNodeRow, kLinkRow, kEnd};
constexpr BlockID kNodeTable[] = {kHeaderRow, kDefaultsRow, kRampRow, kDataRow, kEnd};

constexpr int32_t kKindBuiltin = 0;
constexpr int32_t kKindModule = 1;
constexpr std::size_t kMaxBlockInts = std::size_t(1) << 20;
constexpr std::size_t kMaxPorts = 4096;
constexpr std::size_t kMaxRampKeys = 65536;

// ---- Saving ----

// A block begun through the save record, ended when the object goes, so that
// a failure half-way still leaves every level closed.
class SavedBlock {
  public:
    SavedBlock(const SaveState& save, const BlockID& row, bool leaf) : save_(save) {
        save_.beginBlock(save_.writeData, &row, leaf ? 1 : 0);
    }
    ~SavedBlock() { save_.endBlock(save_.writeData); }
    SavedBlock(const SavedBlock&) = delete;
    SavedBlock& operator=(const SavedBlock&) = delete;

  private:
    const SaveState& save_;
};

void writeLeaf(const SaveState& save, const BlockID& row, const std::vector<int32_t>& ints) {
    SavedBlock block(save, row, true);
    if (!ints.empty())
        save.writeInts(save.writeData, ints.data(), static_cast<int32_t>(ints.size()));
}

std::vector<int32_t> encodeDefaults(const Node& node) {
    std::vector<int32_t> ints{static_cast<int32_t>(node.inputs().size())};
    for (const auto& input : node.inputs()) {
        appendText(ints, input->name());
        for (double v : input->defaultValue())
            appendDouble(ints, v);
    }
    return ints;
}

void saveNode(const Node& node, const SaveState& save) {
    SavedBlock block(save, kNodeRow, false);
    const bool isModule = node.kind() == NodeKind::Module;
    std::vector<int32_t> head{isModule ? kKindModule : kKindBuiltin};
    appendText(head, node.name());
    appendText(head, node.type());
    writeLeaf(save, kHeaderRow, head);
    writeLeaf(save, kDefaultsRow, encodeDefaults(node));
    if (node.kind() == NodeKind::Builtin) {
        const auto& builtin = static_cast<const BuiltinNode&>(node);
        if (builtin.builtinType().hasRamp) {
            std::vector<int32_t> ramp{static_cast<int32_t>(builtin.rampKeys().size())};
            for (const RampKey& key : builtin.rampKeys()) {
                appendDouble(ramp, key.position);
                for (double v : key.color)
                    appendDouble(ramp, v);
            }
            writeLeaf(save, kRampRow, ramp);
        }
    }
    if (isModule) {
        SavedBlock data(save, kDataRow, false);
        if (const char* error = static_cast<const ModuleNode&>(node).save(save))
            throw NetworkIoError(kNetworkNodeSave,
                                 "node \"" + node.name() + "\" could not save: " + error);
    }
}

// ---- Loading ----

// A block that find block entered, left (end block) when the object goes.
class EnteredBlock {
  public:
    explicit EnteredBlock(const LoadState& load) : load_(load) {}
    ~EnteredBlock() { load_.endBlock(load_.readData); }
    EnteredBlock(const EnteredBlock&) = delete;
    EnteredBlock& operator=(const EnteredBlock&) = delete;

  private:
    const LoadState& load_;
};

[[noreturn]] void malformed(const std::string& what) {
    throw NetworkIoError(kNetworkMalformed, "malformed network data: " + what);
}

struct PendingLink {
    std::string fromNode, output, toNode, input;
};

// Builds the staged nodes of one load; nothing touches the network itself
// until commit.
class NetworkReader {
  public:
    NetworkReader(Network& network, const LoadState& load, const Network* copySource)
        : network_(network), load_(load), copySource_(copySource) {}

    void read() {
        bool versionSeen = false;
        for (uint32_t id; (id = load_.findBlock(load_.readData, kNetworkTable)) != 0;) {
            EnteredBlock entered(load_);
            if (id == kVersionRow.id) {
                readVersion();
                versionSeen = true;
                continue;
            }
            if (!versionSeen)
                malformed("the version block must come first");
            if (id == kRootDefaultsRow.id)
                readRootDefaults();
            else if (id == kNodeRow.id)
                readNode();
            else if (id == kLinkRow.id)
                readLink();
        }
        if (!versionSeen)
            malformed("the network block has no version");
        resolveLinks();
    }

    StagedNodes take() { return std::move(staged_); }

  private:
    std::vector<int32_t> leafInts() {
        try {
            return readAllInts(load_, kMaxBlockInts);
        } catch (const DecodeError& e) {
            malformed(e.what());
        }
    }

    template <typename Parse> void parseLeaf(const char* what, Parse parse) {
        const std::vector<int32_t> ints = leafInts();
        IntReader reader(ints);
        try {
            parse(reader);
        } catch (const DecodeError& e) {
            malformed(std::string(what) + ": " + e.what());
        }
        if (!reader.atEnd())
            malformed(std::string(what) + " holds more than it should");
    }

    void readVersion() {
        parseLeaf("the version block", [&](IntReader& r) {
            const int32_t version = r.integer();
            if (version != kNetworkFormatVersion)
                malformed("format version " + std::to_string(version) + " is not supported");
        });
    }

    // Reads (name, value) rows and applies each to the node's input.
    void readDefaults(Node& node, std::vector<std::pair<Input*, Value>>* deferred) {
        parseLeaf("a defaults block", [&](IntReader& r) {
            const std::size_t n = r.count(kMaxPorts);
            for (std::size_t i = 0; i < n; ++i) {
                const std::string name = r.text();
                Value value{};
                for (double& v : value)
                    v = r.number();
                Input* input = node.input(name);
                if (!input)
                    malformed("node \"" + node.name() + "\" has no input \"" + name + "\"");
                if (input->type() == ValueType::Scalar)
                    value[1] = value[2] = 0.0;
                if (deferred)
                    deferred->emplace_back(input, value);
                else
                    input->setDefaultValue(value);
            }
        });
    }

    void readRootDefaults() { readDefaults(network_.root(), &staged_.rootDefaults); }

    void readNode() {
        Node* node = nullptr;
        for (uint32_t id; (id = load_.findBlock(load_.readData, kNodeTable)) != 0;) {
            EnteredBlock entered(load_);
            if (id == kHeaderRow.id) {
                if (node)
                    malformed("a node has two header blocks");
                node = readHeader();
                continue;
            }
            if (!node)
                malformed("a node block must start with its header");
            if (id == kDefaultsRow.id)
                readDefaults(*node, nullptr);
            else if (id == kRampRow.id)
                readRamp(*node);
            else if (id == kDataRow.id)
                loadModuleData(*node);
        }
        if (!node)
            malformed("a node block has no header");
    }

    Node* readHeader() {
        int32_t kind = 0;
        std::string name, type;
        parseLeaf("a node header", [&](IntReader& r) {
            kind = r.integer();
            name = r.text();
            type = r.text();
        });
        if (!Network::validName(name) || name == RootNode::kName)
            malformed("\"" + name + "\" is not a valid node name");
        if (!names_.insert(name).second)
            malformed("two nodes are named \"" + name + "\"");
        std::unique_ptr<Node> node;
        if (kind == kKindBuiltin) {
            const BuiltinType* builtin = findBuiltinType(type);
            if (!builtin)
                throw NetworkIoError(kNetworkNodeCreate,
                                     "node \"" + name + "\": no built-in type \"" + type + "\"");
            node = std::make_unique<BuiltinNode>(network_, *builtin, name);
        } else if (kind == kKindModule) {
            node = createModuleNode(type, name);
        } else {
            malformed("node \"" + name + "\" is of unknown kind " + std::to_string(kind));
        }
        staged_.nodes.push_back(std::move(node));
        return staged_.nodes.back().get();
    }

    std::unique_ptr<Node> createModuleNode(const std::string& server, const std::string& name) {
        std::unique_ptr<ModuleNode> node;
        try {
            node = std::make_unique<ModuleNode>(network_, server, name);
        } catch (const std::exception& e) {
            throw NetworkIoError(kNetworkNodeCreate, "node \"" + name + "\": " + e.what());
        }
        if (copySource_) {
            const Node* source = copySource_->find(name);
            if (source && source->kind() == NodeKind::Module && source->type() == server)
                if (const char* error = node->copyFrom(static_cast<const ModuleNode&>(*source)))
                    throw NetworkIoError(kNetworkNodeCopy,
                                         "node \"" + name + "\" could not copy: " + error);
        }
        return node;
    }

    void readRamp(Node& node) {
        if (node.kind() != NodeKind::Builtin ||
            !static_cast<BuiltinNode&>(node).builtinType().hasRamp)
            malformed("node \"" + node.name() + "\" has ramp keys but is no ramp");
        std::vector<RampKey> keys;
        parseLeaf("a ramp block", [&](IntReader& r) {
            const std::size_t n = r.count(kMaxRampKeys);
            for (std::size_t i = 0; i < n; ++i) {
                RampKey key;
                key.position = r.number();
                for (double& v : key.color)
                    v = r.number();
                keys.push_back(key);
            }
        });
        try {
            static_cast<BuiltinNode&>(node).setRampKeys(std::move(keys));
        } catch (const HostError& e) {
            malformed(e.what());
        }
    }

    void loadModuleData(Node& node) {
        if (node.kind() != NodeKind::Module)
            malformed("built-in node \"" + node.name() + "\" has module data");
        if (const char* error = static_cast<ModuleNode&>(node).load(load_))
            throw NetworkIoError(kNetworkNodeLoad,
                                 "node \"" + node.name() + "\" could not load: " + error);
    }

    void readLink() {
        PendingLink link;
        parseLeaf("a connection block", [&](IntReader& r) {
            link.fromNode = r.text();
            link.output = r.text();
            link.toNode = r.text();
            link.input = r.text();
        });
        links_.push_back(std::move(link));
    }

    Node* stagedNode(const std::string& name) const {
        if (name == RootNode::kName)
            return &network_.root();
        for (const auto& node : staged_.nodes)
            if (node->name() == name)
                return node.get();
        return nullptr;
    }

    void resolveLinks() {
        std::set<const Input*> fed;
        for (const PendingLink& link : links_) {
            const std::string what = "the connection from \"" + link.fromNode + "." + link.output +
                                     "\" to \"" + link.toNode + "." + link.input + "\"";
            Node* from = stagedNode(link.fromNode);
            Node* to = stagedNode(link.toNode);
            Output* output = from ? from->output(link.output) : nullptr;
            Input* input = to ? to->input(link.input) : nullptr;
            if (!output || !input)
                malformed(what + " names an unknown node or port");
            if (!fed.insert(input).second)
                malformed(what + " feeds an input that is already fed");
            if (to == &network_.root()) {
                staged_.rootLinks.emplace_back(input, output);
                continue;
            }
            try {
                linkPorts(*output, *input);
            } catch (const HostError& e) {
                malformed(e.what());
            }
        }
    }

    Network& network_;
    const LoadState& load_;
    const Network* copySource_;
    StagedNodes staged_;
    std::set<std::string> names_;
    std::vector<PendingLink> links_;
};

} // namespace

void saveNetwork(const Network& network, const SaveState& save) {
    SavedBlock block(save, kNetworkRow, false);
    writeLeaf(save, kVersionRow, {kNetworkFormatVersion});
    writeLeaf(save, kRootDefaultsRow, encodeDefaults(network.root()));
    for (const auto& node : network.nodes())
        saveNode(*node, save);
    for (const Connection& link : network.connections()) {
        std::vector<int32_t> ints;
        appendText(ints, link.fromNode);
        appendText(ints, link.fromOutput);
        appendText(ints, link.toNode);
        appendText(ints, link.toInput);
        writeLeaf(save, kLinkRow, ints);
    }
}

void loadNetwork(Network& network, const LoadState& load, const Network* copySource) {
    if (load.findBlock(load.readData, kTopTable) == 0)
        malformed("there is no network block");
    StagedNodes staged;
    {
        EnteredBlock entered(load);
        NetworkReader reader(network, load, copySource);
        reader.read();
        staged = reader.take();
    }
    network.replaceNodes(std::move(staged));
}

void copyNetwork(Network& to, const Network& from) {
    SaveStream save;
    saveNetwork(from, save.state());
    LoadStream load(save.root());
    loadNetwork(to, load.state(), &from);
}

} // namespace minihost
