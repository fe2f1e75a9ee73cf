#pragma once
// The settings file parameters.xml in the program's folder under the roaming AppData folder.
//
// Format: root "parameters" with one "parameter" element per setting, attributes "name" (the key) and
// "value" (flags "true"/"false", integers in decimal, texts as they are). Unknown keys stay untouched.
//
// The file is read once per run by gf_readParameters, which fills every registered setting, completes the
// file with the keys it lacks and saves it. After that one changed setting is stored on its own: the file is
// loaded afresh, the one node edited or appended and the whole file saved.
//
// Load, store and removal are serialised by one mutex (stores come from the GUI thread and the run thread);
// every save writes a temporary file and renames it over the old one, and a file that exists but cannot be
// parsed is backed up (parameters0.xml, parameters00.xml) before anything replaces it. A file the user made
// read-only is never written or backed up: the refusal is logged once per run ("... is read-only: not written
// over; settings changed in this run will not be kept"), and the load and each refused store show
// "Settings not kept: parameters.xml is read-only" on the status line.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "foundation/settings.h"

inline constexpr std::string_view parametersFileName = "parameters.xml";

// <AppData>/Vexa and <AppData>/Vexa/parameters.xml; relative to the working folder when the AppData folder
// cannot be found. Looked up on each call (tests point the AppData folder elsewhere).
std::filesystem::path gf_parametersFolder();
std::filesystem::path gf_parametersPath();

// "/parameters/parameter[@name='KEY']".
std::string gf_parameterXPath(std::string_view key);

// The start-up loader: reads the six lists in order (see SettingsRegistry), logs every value as "{}={}",
// appends the keys the file lacks, saves it. A missing or broken file gives every setting its default and is
// replaced by a complete file of defaults (a broken one backed up first); PROGRAM_VERSION is written to that
// new file with the running version, while the setting itself keeps its empty default, so that the run
// preparation still sees a first start.
void gf_readParameters(const std::vector<BoolParameter*>& plainFlags, const std::vector<BoolParameter*>& checkBoxFlags,
                       const std::vector<IntParameter*>& plainIntegers,
                       const std::vector<GuiIntParameter*>& fieldIntegers, const std::vector<StringParameter*>& texts,
                       const std::vector<GuiStringParameter*>& fieldTexts);
void gf_readParameters(const SettingsRegistry& registry);

// Readers of one setting from a loaded document. A missing node gives the default and is appended to the
// document's "parameters" element (when it has one) with the current value. The Gui twins then show the
// value in the bound control (SettingsControlHooks). Each returns true when the node was found.
bool gf_readBoolParameter(pugi::xml_document& document, BoolParameter& flag);
bool gf_readGuiBoolParameter(pugi::xml_document& document, BoolParameter& flag);
bool gf_readIntParameter(pugi::xml_document& document, IntParameter& number);
bool gf_readGuiIntParameter(pugi::xml_document& document, GuiIntParameter& number);
// The text as it stands (empty when the "value" attribute is missing); the default when the node is missing
// (nothing is appended here). Logs "{}={}".
bool gf_readStringParameter(StringParameter& text, const pugi::xml_node& document);

// Append an element "parameter" with "name" = key and "value" = the value to `parent`; false when the
// parent cannot hold elements (neither an element nor a document). Also used for the airport files.
bool gf_appendParameterNode(pugi::xml_node parent, std::string_view key, std::string_view text);
bool gf_appendIntParameterNode(pugi::xml_node parent, std::string_view key, std::int32_t number);
bool gf_appendBoolParameterNode(pugi::xml_node parent, std::string_view key, bool flag);

// Sets the decimal value of an existing attribute; false when the node has no such attribute.
bool gf_setIntAttribute(pugi::xml_node node, std::string_view attributeName, std::int32_t number);

// Takes one key out of parameters.xml ("Parameter KEY removed"); nothing happens when the file cannot be
// loaded or holds no such key.
void gf_removeParameter(std::string_view key);
