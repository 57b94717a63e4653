#pragma once
// What a run asks of every copy it encodes, over the choices a copy takes from its picture.

struct EncodeOverrides {
    // 1-100: a JPEG copy is encoded whole at this quality with the standard tables and 4:2:0
    // sampling; 0: a JPEG photograph's own.
    int jpegQuality = 0;
    // A TIFF copy is written uncompressed, whatever its picture's coding.
    bool uncompressedTiff = false;
};
