#pragma once
// The header element "meta" at the top of the program's own XML files (livery cache, airport files).
//
// The header is a top-level element appended to the document before the file's own root:
//   <meta>
//     <info name="author" value="Vexa"/>
//     <info name="version" value="1.4.2"/>
//     <info name="date" value="Dec 09, 2026"/>
//     <info name="maker" value="..."/>
//     <info name="MSFS" value="2020"/>   ("2024" unless simFamilyName is exactly "MSFS")
//   </meta>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "foundation/settings.h"

// The entries of the header: their names are the entry names; a read fills the value of the entry of the
// same name.
struct MetaHeader {
    StringParameter author{"author", ""};
    StringParameter date{"date", ""};
    StringParameter version{"version", ""};
    StringParameter maker{"maker", "written by Vexa for its own use"};
    StringParameter msfs{"MSFS", ""};
};
extern MetaHeader metaHeader;

// The simulator family the files are written for: "MSFS" (2020) or "MSFS2024". Set by the writers before
// they write a file; "MSFS" at program start.
extern SharedText simFamilyName;

// "/meta/info[@name='NAME']".
std::string gf_metaInfoXPath(std::string_view name);

// Appends the header with its five entries to `document` (normally still empty). False as soon as an element
// cannot be appended (the node is neither a document nor an element); entries appended before stay.
bool gf_writeMetaData(pugi::xml_node document);

// Looks the entry up by its name: found, the entry's value becomes the "value" text (empty when missing) and
// true; not found, the value becomes empty and false.
bool gf_readMetaInfo(const pugi::xml_node& document, StringParameter& entry);

// Reads "author", "date" and "version" in this order, stopping at the first missing one. All present: true.
// Otherwise logs "meta data incorrect?" as an error line and returns false.
bool gf_checkMetaData(const pugi::xml_node& document);
