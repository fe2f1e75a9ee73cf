#include "foundation/parameters_file.h"

#include <atomic>
#include <fstream>
#include <mutex>
#include <system_error>

#include <fmt/format.h>

#include "foundation/disk_file.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/version.h"

namespace fs = std::filesystem;

namespace {

// Serialises every load-edit-save cycle of parameters.xml: stores come from the GUI thread and the run
// thread, and two unserialised cycles would lose one of the two changes.
std::mutex parametersMutex;

constexpr const char* rootName = "parameters";
constexpr const char* elementName = "parameter";

// A file the user made read-only is never written: the refusal is logged once per run with this consequence,
// and each refused store shows the status text.
constexpr std::string_view notKept = "settings changed in this run will not be kept";
constexpr std::string_view notKeptStatus = "Settings not kept: parameters.xml is read-only";

const char* lf_flagText(bool flag) { return flag ? "true" : "false"; }

bool lf_isFolderKey(std::string_view key) { return key.find("lfolder") != std::string_view::npos; }

// A flag is on when its text starts with '1', 'T', 't', 'Y' or 'y'.
bool lf_flagFromText(std::string_view text) {
    if (text.empty()) return false;
    const char c = text.front();
    return c == '1' || c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

// The first "parameter" element of the key under a top-level "parameters" element. The key travels as an
// XPath variable, so that no key text can break the query.
pugi::xml_node lf_findParameterNode(const pugi::xml_node& document, std::string_view key) {
    pugi::xpath_variable_set variables;
    variables.set("key", std::string{key}.c_str());
    try {
        return document.select_node("/parameters/parameter[@name=$key]", &variables).node();
    } catch (const pugi::xpath_exception&) {
        return {};
    }
}

enum class FileState {
    loaded,
    missing,
    broken
};

FileState lf_loadFile(pugi::xml_document& document, const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec) && !ec) return FileState::missing;
    if (document.load_file(path.c_str())) return FileState::loaded;
    document.reset();
    return FileState::broken;
}

// Keeps a copy of a file that cannot be read before anything replaces it. False when the copy failed (the
// file must then stay as it is).
bool lf_backUpBrokenFile(const fs::path& path) {
    try {
        gf_backupFile(path, BackupNaming::zeros);
        gf_logError(fmt::format("\"{}\" cannot be read; kept as \"{}\"", path.string(),
                                gf_backupName(path, BackupNaming::zeros, 1).string()));
        return true;
    } catch (const std::exception& e) {
        gf_logError(fmt::format("could not back up \"{}\": {}", path.string(), e.what()));
        return false;
    }
}

// A control to update once the loader has let go of the file lock (the window code may take locks of its
// own).
struct ControlUpdate {
    enum class Kind {
        check,
        number,
        text
    } kind;
    const ParameterControl* control;
    bool flag = false;
    std::int32_t number = 0;
    std::string text;
};
using ControlUpdates = std::vector<ControlUpdate>;

void lf_applyControlUpdates(const ControlUpdates& updates) {
    const SettingsControlHooks hooks = gf_settingsControlHooks();
    for (const ControlUpdate& u : updates) {
        switch (u.kind) {
        case ControlUpdate::Kind::check:
            if (hooks.setCheck) hooks.setCheck(*u.control, u.flag);
            break;
        case ControlUpdate::Kind::number:
            if (hooks.showInt) hooks.showInt(*u.control, u.number);
            break;
        case ControlUpdate::Kind::text:
            if (hooks.showText) hooks.showText(*u.control, u.text);
            break;
        }
    }
}

void lf_showCheck(ControlUpdates& updates, const BoolParameter& flag) {
    updates.push_back({ControlUpdate::Kind::check, &flag, flag.value.load(), 0, {}});
}

void lf_showNumber(ControlUpdates& updates, const GuiIntParameter& number) {
    updates.push_back({ControlUpdate::Kind::number, &number, false, number.value.load(), {}});
}

void lf_showText(ControlUpdates& updates, const GuiStringParameter& text) {
    updates.push_back({ControlUpdate::Kind::text, &text, false, 0, text.value()});
}

// The top-level "parameters" element, if the document has one.
pugi::xml_node lf_rootOf(pugi::xml_document& document) { return document.child(rootName); }

// Reads a flag; a missing node gives the default. Logs "{}={}". True when the node exists.
// The settings folder may not exist yet on a first start.
bool lf_saveReplacing(const pugi::xml_document& document, const fs::path& path) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    return gf_saveXmlReplacing(document, path);
}

bool lf_saveLogged(const pugi::xml_document& document, const fs::path& path) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    return gf_saveXml(document, path);
}

bool lf_readBoolValue(BoolParameter& flag, const pugi::xml_node& document) {
    const pugi::xml_node node = lf_findParameterNode(document, flag.name);
    if (!node) {
        flag.value = flag.defaultValue;
        flag.log();
        return false;
    }
    flag.value = lf_flagFromText(node.attribute("value").value());
    flag.log();
    return true;
}

bool lf_readFolderParameter(StringParameter& text, const pugi::xml_node& document, bool& nodePresent) {
    const pugi::xml_node node = lf_findParameterNode(document, text.name);
    nodePresent = static_cast<bool>(node);
    if (!node)
        text.set(text.defaultValue);
    else
        text.set(node.attribute("value").value());
    const std::string value = text.value();
    if (!value.empty()) gf_logLine(fmt::format("{}={}", text.name, value));
    return nodePresent;
}

// Takes the key out of the file; the caller holds parametersMutex.
void lf_removeParameterNodeLocked(std::string_view key) {
    const fs::path path = gf_parametersPath();
    pugi::xml_document document;
    if (lf_loadFile(document, path) != FileState::loaded) return;
    if (gf_refuseReadOnlyFile(path, notKept)) return;
    if (pugi::xml_node root = lf_rootOf(document)) {
        const pugi::xml_node node = lf_findParameterNode(document, key);
        if (node) {
            node.parent().remove_child(node);
            gf_logLine(fmt::format("Parameter {} removed", key));
        }
    }
    if (!lf_saveReplacing(document, path)) gf_logLine("saving xml did not work?");
}

enum class StoreResult {
    stored,
    readOnly,  // the user made the file read-only: refused, logged once per run
    failed     // "saving xml did not work?"
};

// Stores one setting: the file is loaded afresh, the key's node edited or appended, the whole file saved.
StoreResult lf_storeParameter(std::string_view key, const std::string& text) {
    const fs::path path = gf_parametersPath();
    pugi::xml_document document;
    const FileState state = lf_loadFile(document, path);
    // Not written, and a broken one not backed up either: nothing will replace it.
    if (gf_isReadOnlyFile(path)) {
        gf_logLine(fmt::format("{}={}", key, text));
        gf_refuseReadOnlyFile(path, notKept);
        return StoreResult::readOnly;
    }
    if (state == FileState::broken && !lf_backUpBrokenFile(path)) {
        gf_logLine(fmt::format("{}={}", key, text));
        gf_logLine("saving xml did not work?");
        return StoreResult::failed;
    }
    pugi::xml_node root = state == FileState::loaded ? lf_rootOf(document) : pugi::xml_node{};
    if (!root) {
        root = document.append_child(rootName);
        gf_appendParameterNode(root, key, text);
    } else if (const pugi::xml_node node = lf_findParameterNode(document, key)) {
        if (pugi::xml_attribute value = node.attribute("value")) value.set_value(text.c_str());
    } else {
        gf_appendParameterNode(root, key, text);
    }
    gf_logLine(fmt::format("{}={}", key, text));
    if (!lf_saveReplacing(document, path)) {
        gf_logLine("saving xml did not work?");
        return StoreResult::failed;
    }
    return StoreResult::stored;
}

// One store under the file lock: makeText changes the setting and gives the text to store. The status line
// hears of a read-only file once the lock is let go.
template <class MakeText>
bool lf_store(std::string_view key, MakeText makeText) {
    StoreResult result = StoreResult::failed;
    {
        std::lock_guard lock{parametersMutex};
        result = lf_storeParameter(key, makeText());
    }
    if (result == StoreResult::readOnly) gf_noteStatus(notKeptStatus, false);
    return result == StoreResult::stored;
}

void lf_initFailed(std::string_view key, std::string_view text) {
    gf_log(fmt::format("{}adding init xml parameter {} with {} failed!", "===> ", key, text));
}

void lf_initBoolParameter(BoolParameter& flag, pugi::xml_node root) {
    if (!gf_appendBoolParameterNode(root, flag.name, flag.defaultValue))
        lf_initFailed(flag.name, lf_flagText(flag.defaultValue));
    flag.value = flag.defaultValue;
    flag.log();
}

void lf_initIntParameter(IntParameter& number, pugi::xml_node root) {
    if (!gf_appendIntParameterNode(root, number.name, number.defaultValue))
        lf_initFailed(number.name, std::to_string(number.defaultValue));
    number.value = number.defaultValue;
    number.log();
}

// The new file records the running version under PROGRAM_VERSION, while the setting itself keeps its empty
// default: the run preparation still sees a first start with this settings file (and then stores the version
// itself).
void lf_initStringParameter(StringParameter& text, pugi::xml_node root) {
    const std::string fileText = &text == &PROGRAM_VERSION ? programVersion.toString() : text.defaultValue;
    if (!gf_appendParameterNode(root, text.name, fileText)) lf_initFailed(text.name, fileText);
    text.set(text.defaultValue);
    text.log();
}

void lf_appendMissingText(pugi::xml_document& document, const StringParameter& text) {
    if (pugi::xml_node root = lf_rootOf(document)) gf_appendParameterNode(root, text.name, text.value());
}

}  // namespace

fs::path gf_parametersFolder() { return gf_getAppDataPath() / programShortName; }

fs::path gf_parametersPath() { return gf_parametersFolder() / parametersFileName; }

std::string gf_parameterXPath(std::string_view key) { return fmt::format("/parameters/parameter[@name='{}']", key); }

bool gf_appendParameterNode(pugi::xml_node parent, std::string_view key, std::string_view text) {
    if (parent.type() != pugi::node_element && parent.type() != pugi::node_document) return false;
    pugi::xml_node node = parent.append_child(elementName);
    if (!node) return false;
    node.append_attribute("name").set_value(std::string{key}.c_str());
    node.append_attribute("value").set_value(std::string{text}.c_str());
    return true;
}

bool gf_appendIntParameterNode(pugi::xml_node parent, std::string_view key, std::int32_t number) {
    return gf_appendParameterNode(parent, key, std::to_string(number));
}

bool gf_appendBoolParameterNode(pugi::xml_node parent, std::string_view key, bool flag) {
    return gf_appendParameterNode(parent, key, lf_flagText(flag));
}

bool gf_setIntAttribute(pugi::xml_node node, std::string_view attributeName, std::int32_t number) {
    pugi::xml_attribute attribute = node.attribute(std::string{attributeName}.c_str());
    if (!attribute) return false;
    attribute.set_value(std::to_string(number).c_str());
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// The settings objects' own file operations.

void StringParameter::log() const { gf_logLine(fmt::format("{}={}", name, value())); }

bool StringParameter::save() {
    return lf_store(name, [this] { return value(); });
}

bool StringParameter::save(std::string text) {
    return lf_store(name, [&] {
        set(text);
        return text;
    });
}

void IntParameter::log() const { gf_logLine(fmt::format("{}={}", name, value.load())); }

bool IntParameter::read(const pugi::xml_node& document, bool logIt) {
    const pugi::xml_node node = lf_findParameterNode(document, name);
    if (!node)
        value = defaultValue;
    else
        value = clamp(node.attribute("value").as_int(0));
    if (logIt) log();
    return static_cast<bool>(node);
}

bool IntParameter::save() {
    return lf_store(name, [this] { return std::to_string(value.load()); });
}

bool IntParameter::save(std::int32_t number) {
    return lf_store(name, [&] {
        value = number;
        return std::to_string(number);
    });
}

void BoolParameter::log() const { gf_logLine(fmt::format("{}={}", name, lf_flagText(value.load()))); }

bool BoolParameter::save() {
    return lf_store(name, [this] { return std::string(lf_flagText(value.load())); });
}

bool BoolParameter::save(bool flag) {
    return lf_store(name, [&] {
        value = flag;
        return std::string(lf_flagText(flag));
    });
}

// ---------------------------------------------------------------------------------------------------------
// Readers.

bool gf_readBoolParameter(pugi::xml_document& document, BoolParameter& flag) {
    const bool found = lf_readBoolValue(flag, document);
    if (!found) {
        if (pugi::xml_node root = lf_rootOf(document)) gf_appendBoolParameterNode(root, flag.name, flag.value.load());
    }
    return found;
}

bool gf_readGuiBoolParameter(pugi::xml_document& document, BoolParameter& flag) {
    const bool found = gf_readBoolParameter(document, flag);
    ControlUpdates updates;
    lf_showCheck(updates, flag);
    lf_applyControlUpdates(updates);
    return found;
}

bool gf_readIntParameter(pugi::xml_document& document, IntParameter& number) {
    const bool found = number.read(document, true);
    if (!found) {
        if (pugi::xml_node root = lf_rootOf(document))
            gf_appendIntParameterNode(root, number.name, number.value.load());
    }
    return found;
}

bool gf_readGuiIntParameter(pugi::xml_document& document, GuiIntParameter& number) {
    const bool found = gf_readIntParameter(document, number);
    ControlUpdates updates;
    lf_showNumber(updates, number);
    lf_applyControlUpdates(updates);
    return found;
}

bool gf_readStringParameter(StringParameter& text, const pugi::xml_node& document) {
    const pugi::xml_node node = lf_findParameterNode(document, text.name);
    if (!node)
        text.set(text.defaultValue);
    else
        text.set(node.attribute("value").value());
    text.log();
    return static_cast<bool>(node);
}

void gf_removeParameter(std::string_view key) {
    std::lock_guard lock{parametersMutex};
    lf_removeParameterNodeLocked(key);
}

// ---------------------------------------------------------------------------------------------------------
// The start-up loader.

void gf_readParameters(const std::vector<BoolParameter*>& plainFlags, const std::vector<BoolParameter*>& checkBoxFlags,
                       const std::vector<IntParameter*>& plainIntegers,
                       const std::vector<GuiIntParameter*>& fieldIntegers, const std::vector<StringParameter*>& texts,
                       const std::vector<GuiStringParameter*>& fieldTexts) {
    ControlUpdates updates;
    bool readOnly = false;
    {
        std::lock_guard lock{parametersMutex};
        gf_log(gf_bannerLine(70, 0, true, false, "parameters"));
        const fs::path path = gf_parametersPath();
        pugi::xml_document document;
        const FileState state = lf_loadFile(document, path);

        if (state != FileState::loaded) {
            gf_log(fmt::format("{} not found, default values taken:", path.string()));
            // A file that exists but cannot be read is kept as a backup; when even that fails, it stays as it
            // is and the defaults hold for this run only.
            // A read-only one is not even backed up: nothing will replace it.
            const bool mayReplace =
                state == FileState::missing || (!gf_isReadOnlyFile(path) && lf_backUpBrokenFile(path));
            document.reset();
            pugi::xml_node root = document.append_child(rootName);
            for (BoolParameter* flag : plainFlags) lf_initBoolParameter(*flag, root);
            for (BoolParameter* flag : checkBoxFlags) {
                lf_initBoolParameter(*flag, root);
                lf_showCheck(updates, *flag);
            }
            for (IntParameter* number : plainIntegers) lf_initIntParameter(*number, root);
            for (GuiIntParameter* number : fieldIntegers) {
                lf_initIntParameter(*number, root);
                lf_showNumber(updates, *number);
            }
            for (StringParameter* text : texts) {
                if (lf_isFolderKey(text->name))
                    text->set(text->defaultValue);  // folder keys get no element
                else
                    lf_initStringParameter(*text, root);
            }
            for (GuiStringParameter* text : fieldTexts) {
                lf_initStringParameter(*text, root);
                lf_showText(updates, *text);
            }
            if (mayReplace)
                lf_saveLogged(document, path);
            else
                readOnly = gf_refuseReadOnlyFile(path, notKept);
        } else {
            gf_log(fmt::format("from \"{}\"", path.string()));
            for (BoolParameter* flag : plainFlags) gf_readBoolParameter(document, *flag);
            for (BoolParameter* flag : checkBoxFlags) {
                gf_readBoolParameter(document, *flag);
                lf_showCheck(updates, *flag);
            }
            for (IntParameter* number : plainIntegers) gf_readIntParameter(document, *number);
            for (GuiIntParameter* number : fieldIntegers) {
                gf_readIntParameter(document, *number);
                lf_showNumber(updates, *number);
            }
            for (StringParameter* text : texts) {
                if (lf_isFolderKey(text->name)) {
                    bool present = false;
                    lf_readFolderParameter(*text, document, present);
                    if (present && text->value().empty()) {
                        lf_removeParameterNodeLocked(text->name);
                        if (pugi::xml_node node = lf_findParameterNode(document, text->name))
                            node.parent().remove_child(node);
                    }
                } else if (!gf_readStringParameter(*text, document)) {
                    lf_appendMissingText(document, *text);
                }
            }
            for (GuiStringParameter* text : fieldTexts) {
                if (!gf_readStringParameter(*text, document)) lf_appendMissingText(document, *text);
                lf_showText(updates, *text);
            }
            readOnly = gf_refuseReadOnlyFile(path, notKept);
            if (!readOnly) lf_saveLogged(document, path);
        }
        gf_log(gf_bannerLine(70, 10, false, true, ""));
    }
    if (readOnly) gf_noteStatus(notKeptStatus, false);
    lf_applyControlUpdates(updates);
}

void gf_readParameters(const SettingsRegistry& registry) {
    gf_readParameters(registry.plainFlags, registry.checkBoxFlags, registry.plainIntegers, registry.fieldIntegers,
                      registry.texts, registry.fieldTexts);
}
