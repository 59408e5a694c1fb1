#!/usr/bin/python3
# ssim_reference.py WIDTH HEIGHT A.rgb B.rgb [A.rgb B.rgb ...]: prints, one line per pair of raw 8-bit RGB
# images (rows top to bottom), their SSIM as scikit-image computes it with the parameters of Wang et al.
# (Gaussian window of sigma 1.5, K1 0.01, K2 0.03, L 255, population covariances, per channel and
# averaged): an implementation independent of relkit-report's, for its tests to compare against.
import sys

import numpy
from skimage.metrics import structural_similarity

width, height = int(sys.argv[1]), int(sys.argv[2])
files = sys.argv[3:]


def read(name):
    return numpy.fromfile(name, dtype=numpy.uint8).reshape(height, width, 3)


for a, b in zip(files[0::2], files[1::2]):
    value = structural_similarity(read(a), read(b), channel_axis=-1, gaussian_weights=True, sigma=1.5,
                                  use_sample_covariance=False, data_range=255)
    print(f"{value:.8f}")
