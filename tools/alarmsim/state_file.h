#pragma once

#include "register_image.h"

#include <QString>

#include <stdexcept>

namespace alarmsim {

class StateFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The register image as readable JSON: the edition, every field of its map (texts decoded,
// next to their raw registers) and the whole image in rows of ten. Only the rows are read
// back; the fields are there for people.
QByteArray stateJson(Edition edition, std::span<const uint16_t> registers);

// Overlays the rows of a state document on the image and returns the edition it names.
// Throws StateFileError, leaving the image untouched, when the document is not valid.
Edition applyStateJson(const QByteArray &json, Registers registers);

// Atomic: a crash mid-save leaves the previous file. Throws StateFileError.
void saveStateFile(const QString &path, Edition edition, std::span<const uint16_t> registers);

} // namespace alarmsim
