// The six image textures, read once at start-up from TGA files into numbered
// slots whose GL names stay fixed for the whole run.
#pragma once

#include <array>
#include <cstdint>

enum TextureSlot : int {
    fontTexture = 1,
    tubeTexture = 2,
    endsTexture = 3,
    backgroundTexture = 4,
    cursorTexture = 5,
    lightningTexture = 6,
};
inline constexpr int textureSlotCount = 6;

// GL texture names by slot 1..6; entry 0 holds no texture.
using TextureSlots = std::array<std::uint32_t, textureSlotCount + 1>;

// Set-up
// Loads slots 1..6 in order, from "Texture/Font.tga" to
// "Texture/Lightning.tga" under the working directory, each with its full
// mipmap chain and the picture's lower-left corner at t = 0. Slot 6 stays
// bound. Returns false at the first image that cannot be read; the slots
// after it are not attempted.
bool loadTextures(TextureSlots& textureSlots);

// Reads the TGA file at path into the texture bound to GL_TEXTURE_2D, with
// its mipmaps and the slot textures' filtering; false when it cannot be read.
bool loadTextureImage(const char* path);

// Gives the bound texture the wrap and filters of the game's images:
// repeat, linear magnification, mipmapped linear minification.
void setImageTextureParameters();

// Shutdown
void deleteTextures(TextureSlots& textureSlots);
