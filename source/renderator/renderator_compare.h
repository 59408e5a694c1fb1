// Compares a freshly rendered image with its reference image file.
#pragma once
#include <cstdint>

class BaseBitmap;
class Filename;

// Loads the reference file into reference, then replaces every byte of it by the absolute difference
// to the new image, so that reference becomes the difference image. diff receives the summed byte
// differences over the largest possible sum (765 per pixel): 0 for identical images, 1 for black
// against white. False when the reference cannot be loaded, its size differs, or there is no memory
// for the row buffer.
bool CompareImages(const BaseBitmap& newImage, const Filename& referenceFile, BaseBitmap& reference,
                   double& diff);

// The comparison proper, on a reference already loaded: false when the sizes differ or there is no
// memory for the row buffer.
bool DifferenceInPlace(const BaseBitmap& newImage, BaseBitmap& reference, double& diff);

// The per-row work: writes |reference - image| into reference and answers the sum of the differences.
uint64_t DifferenceRow(const uint8_t* image, uint8_t* reference, int64_t bytes);
