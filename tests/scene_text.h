// Builders for scene texts in the layout Layout writes, so tests read as data.
#ifndef GRAFTLING_TESTS_SCENE_TEXT_H_
#define GRAFTLING_TESTS_SCENE_TEXT_H_

#include <string>
#include <string_view>

namespace graftling::testing {

// "LWSC" to the blank line after the frame settings.
std::string sceneHead();

// An object block from its object line to "ShadowOptions 7", without the
// blank line that follows it in a scene. parent 0 writes no "ParentObject".
std::string objectBlock(std::string_view objectLine, int parent = 0);

// The three lines between the object section and the first light.
std::string ambientLines();

// A light block from "AddLight" to "ShadowType 1", without the blank line.
std::string lightBlock(std::string_view name, int parent = 0);

// A light with shadow maps: its "ShadowType 2" line and the shadow-map
// settings lines that Layout writes after it, without the blank line.
std::string shadowMappedLightBlock(std::string_view name, int parent = 0);

// From "ShowCamera" to the scene's final blank line.
std::string sceneTail();

// The same text with every LF made CR LF.
std::string withCrLf(std::string_view text);

}  // namespace graftling::testing

#endif  // GRAFTLING_TESTS_SCENE_TEXT_H_
