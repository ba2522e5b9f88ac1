// Draws WMF and EMF files with Qt's painter: the metafile decoder of the load path, which a
// program installs at start with SetMetafileRenderer(RenderMetafile).
#pragma once

#include <cstdint>
#include <span>

#include "decoders/DecodeResult.h"

// The picture at 96 dpi (its size from ReadMetafileFrame), transparent where nothing is drawn.
// Fails as the record reader does, with deTooLarge when the drawing exceeds the painter's work
// limit, and with deUnsupported when there is no QGuiApplication (fonts need one). Any thread.
TDecodeResult RenderMetafile(std::span<const uint8_t> data);
