#!/usr/bin/python3
"""The peer in the colour-noise comparison: OpenCV's fastNlMeansDenoisingColored
(3 x 3 template, 11 x 11 search window as the program's radius 5) at its best
h / hColor by PSNR, on the photos calmora-noise-colour wrote as PPM.

    /usr/bin/python3 bench/noise_colour_opencv.py OUT_DIR [SEARCH_WINDOW]

Prints CSV lines in calmora-noise-colour's format (scheme "opencv")."""
import sys

import cv2
import numpy as np


def psnr(a, b):
    mse = np.mean((a.astype(np.float64) - b.astype(np.float64)) ** 2)
    return 99.0 if mse == 0 else 10 * np.log10(255.0 ** 2 / mse)


def lab_ab(bgr):
    c = bgr[..., ::-1].astype(np.float64) / 255.0
    lin = np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)
    r, g, b = lin[..., 0], lin[..., 1], lin[..., 2]
    x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047
    y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b
    z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883

    def f(t):
        return np.where(t > 216 / 24389, np.cbrt(t), (24389 / 27 * t + 16) / 116)

    return 500 * (f(x) - f(y)), 200 * (f(y) - f(z))


def ab_rmse(a, b):
    aa, ab = lab_ab(a)
    ba, bb = lab_ab(b)
    return float(np.sqrt(np.mean(((aa - ba) ** 2 + (ab - bb) ** 2) / 2)))


def best_of(f, start):
    """Whole number in 1..60 of largest f, f having one peak (memoised)."""
    memo = {}

    def at(i):
        i = min(max(i, 1), 60)
        if i not in memo:
            memo[i] = f(i)
        return memo[i]

    low, high = max(1, start // 2), min(60, start * 2 + 4)
    while high < 60 and at(high) > at(high - max(1, high // 8)):
        high = min(60, high * 2)
    while low > 1 and at(low) > at(low + max(1, low // 8)):
        low = max(1, low // 2)
    while high - low > 2:
        a, b = low + (high - low) // 3, high - (high - low) // 3
        if at(a) < at(b):
            low = a
        else:
            high = b
    return max(range(low, high + 1), key=at)


def main():
    out = sys.argv[1]
    window = int(sys.argv[2]) if len(sys.argv) > 2 else 11
    cv2.setNumThreads(1)
    for name in ("astronaut", "chelsea", "coffee", "rocket"):
        clean = cv2.imread(f"{out}/{name}-clean.ppm")
        for noise in ("camera", "gauss15"):
            noisy = cv2.imread(f"{out}/{name}-{noise}.ppm")
            cache = {}

            def run(h, hc):
                if (h, hc) not in cache:
                    cache[(h, hc)] = cv2.fastNlMeansDenoisingColored(noisy, None, h, hc, 3, window)
                return cache[(h, hc)]

            h, hc = 10, 10
            for _ in range(2):
                h = best_of(lambda i: psnr(run(i, hc), clean), h)
                hc = best_of(lambda i: psnr(run(h, i), clean), hc)
            res = run(h, hc)
            print(f"{name},{noise},opencv,h {h} hColor {hc},{psnr(res, clean):.3f},"
                  f"{ab_rmse(res, clean):.3f}", flush=True)


if __name__ == "__main__":
    main()
