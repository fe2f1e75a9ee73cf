#include "foundation/meta_header.h"

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/time_text.h"
#include "foundation/version.h"

MetaHeader metaHeader;
SharedText simFamilyName{"MSFS"};

namespace {

bool lf_appendInfo(pugi::xml_node meta, std::string_view name, const std::string& value) {
    pugi::xml_node info = meta.append_child("info");
    if (!info) return false;
    info.append_attribute("name").set_value(std::string{name}.c_str());
    info.append_attribute("value").set_value(value.c_str());
    return true;
}

}  // namespace

std::string gf_metaInfoXPath(std::string_view name) {
    std::string xpath;
    for (std::string_view piece : {"/", "meta", "/", "info", "[", "@", "name", "=", "'"}) xpath += piece;
    xpath += name;
    xpath += "'";
    xpath += "]";
    return xpath;
}

bool gf_writeMetaData(pugi::xml_node document) {
    const std::string family = simFamilyName.get();
    if (document.type() != pugi::node_document && document.type() != pugi::node_element) return false;
    pugi::xml_node meta = document.append_child("meta");
    if (!meta) return false;
    if (!lf_appendInfo(meta, metaHeader.author.name, std::string{programShortName})) return false;
    if (!lf_appendInfo(meta, metaHeader.version.name, programVersion.toString())) return false;
    if (!lf_appendInfo(meta, metaHeader.date.name, gf_dateHeader())) return false;
    if (!lf_appendInfo(meta, metaHeader.maker.name, metaHeader.maker.defaultValue)) return false;
    return lf_appendInfo(meta, metaHeader.msfs.name, family == "MSFS" ? "2020" : "2024");
}

bool gf_readMetaInfo(const pugi::xml_node& document, StringParameter& entry) {
    pugi::xpath_variable_set variables;
    variables.set("name", entry.name.c_str());
    pugi::xml_node node;
    try {
        node = document.select_node("/meta/info[@name=$name]", &variables).node();
    } catch (const pugi::xpath_exception&) {
        node = {};
    }
    if (!node) {
        entry.set({});
        return false;
    }
    entry.set(node.attribute("value").value());
    return true;
}

bool gf_checkMetaData(const pugi::xml_node& document) {
    if (gf_readMetaInfo(document, metaHeader.author) && gf_readMetaInfo(document, metaHeader.date) &&
        gf_readMetaInfo(document, metaHeader.version))
        return true;
    gf_logError("meta data incorrect?");
    return false;
}
