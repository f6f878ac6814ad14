#include "noise_photos.h"

#include <FreeImage.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "denoise_run/row_run.h"
#include "imagefiles/row_stride.h"

namespace bench {

namespace {

size_t Stride(int32_t width) { return static_cast<size_t>(calmora::RowStride(width)); }

Photo Blank(const Photo& like) {
    Photo p;
    p.name = like.name;
    p.width = like.width;
    p.height = like.height;
    p.bits.assign(Stride(like.width) * like.height, 0);
    return p;
}

uint8_t Clip(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

Photo Load(const std::string& path, const std::string& name) {
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    FIBITMAP* loaded = format == FIF_UNKNOWN ? nullptr : FreeImage_Load(format, path.c_str(), 0);
    if (!loaded) {
        std::fprintf(stderr, "cannot read %s (scripts/fetch-test-data.sh unpacks it)\n",
                     path.c_str());
        std::exit(2);
    }
    FIBITMAP* rgb = FreeImage_ConvertTo24Bits(loaded);
    FreeImage_Unload(loaded);
    Photo p;
    p.name = name;
    p.width = static_cast<int32_t>(FreeImage_GetWidth(rgb));
    p.height = static_cast<int32_t>(FreeImage_GetHeight(rgb));
    p.bits.assign(Stride(p.width) * p.height, 0);
    for (int32_t y = 0; y < p.height; ++y)
        std::copy_n(FreeImage_GetScanLine(rgb, y), 3 * p.width, p.bits.data() + y * Stride(p.width));
    FreeImage_Unload(rgb);
    return p;
}

// A field of white noise blurred with a Gaussian of `blur` pixels, scaled to
// standard deviation `deviation`.
std::vector<double> BlurredField(int32_t width, int32_t height, double blur, double deviation,
                                 std::mt19937& random) {
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> field(static_cast<size_t>(width) * height);
    for (double& v : field) v = normal(random);
    const int reach = static_cast<int>(std::ceil(3 * blur));
    std::vector<double> kernel(2 * reach + 1);
    for (int i = -reach; i <= reach; ++i) kernel[i + reach] = std::exp(-0.5 * i * i / (blur * blur));
    std::vector<double> pass(field.size());
    auto blurAlong = [&](const std::vector<double>& in, std::vector<double>& out, bool rows) {
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                double sum = 0, weight = 0;
                for (int i = -reach; i <= reach; ++i) {
                    const int32_t xx = rows ? x + i : x, yy = rows ? y : y + i;
                    if (xx < 0 || yy < 0 || xx >= width || yy >= height) continue;
                    sum += kernel[i + reach] * in[static_cast<size_t>(yy) * width + xx];
                    weight += kernel[i + reach];
                }
                out[static_cast<size_t>(y) * width + x] = sum / weight;
            }
    };
    blurAlong(field, pass, true);
    blurAlong(pass, field, false);
    double mean = 0, square = 0;
    for (double v : field) mean += v;
    mean /= field.size();
    for (double v : field) square += (v - mean) * (v - mean);
    const double scale = deviation / std::sqrt(square / field.size());
    for (double& v : field) v = (v - mean) * scale;
    return field;
}

double Linear(double c) {
    c /= 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double LabF(double t) {
    return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0;
}

void LabAb(uint8_t b8, uint8_t g8, uint8_t r8, double& a, double& b) {
    const double r = Linear(r8), g = Linear(g8), bl = Linear(b8);
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * bl) / 0.95047;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * bl;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * bl) / 1.08883;
    a = 500.0 * (LabF(x) - LabF(y));
    b = 200.0 * (LabF(y) - LabF(z));
}

}  // namespace

std::vector<Photo> LoadCalibrationPhotos(const std::string& dir) {
    std::vector<Photo> photos;
    for (const char* name : {"astronaut.png", "chelsea.png", "coffee.png", "rocket.jpg"})
        photos.push_back(Load(dir + "/" + name, std::string(name).substr(0, std::string(name).find('.'))));
    return photos;
}

Photo Crop(const Photo& photo, int32_t width, int32_t height) {
    Photo p;
    p.name = photo.name;
    p.width = std::min(width, photo.width);
    p.height = std::min(height, photo.height);
    p.bits.assign(Stride(p.width) * p.height, 0);
    const int32_t left = (photo.width - p.width) / 2, bottom = (photo.height - p.height) / 2;
    for (int32_t y = 0; y < p.height; ++y)
        std::copy_n(photo.bits.data() + (bottom + y) * Stride(photo.width) + 3 * left, 3 * p.width,
                    p.bits.data() + y * Stride(p.width));
    return p;
}

Photo WithGaussianNoise(const Photo& clean, double sigma, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, sigma);
    Photo p = Blank(clean);
    for (int32_t y = 0; y < clean.height; ++y)
        for (int32_t i = 0; i < 3 * clean.width; ++i) {
            const size_t at = y * Stride(clean.width) + i;
            p.bits[at] = Clip(clean.bits[at] + normal(random));
        }
    return p;
}

Photo WithCameraNoise(const Photo& clean, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> luminance(0.0, 15.0), own(0.0, 8.0);
    const std::vector<double> cr = BlurredField(clean.width, clean.height, 8.0, 6.0, random);
    const std::vector<double> cb = BlurredField(clean.width, clean.height, 8.0, 6.0, random);
    Photo p = Blank(clean);
    for (int32_t y = 0; y < clean.height; ++y)
        for (int32_t x = 0; x < clean.width; ++x) {
            const size_t at = y * Stride(clean.width) + 3 * x;
            const size_t f = static_cast<size_t>(y) * clean.width + x;
            const double l = luminance(random);
            const double dr = l + 1.403 * cr[f];
            const double dg = l - 0.714 * cr[f] - 0.344 * cb[f];
            const double db = l + 1.773 * cb[f];
            p.bits[at + 0] = Clip(clean.bits[at + 0] + db + own(random));
            p.bits[at + 1] = Clip(clean.bits[at + 1] + dg + own(random));
            p.bits[at + 2] = Clip(clean.bits[at + 2] + dr + own(random));
        }
    return p;
}

double Psnr(const Photo& a, const Photo& b) {
    double sum = 0;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t i = 0; i < 3 * a.width; ++i) {
            const size_t at = y * Stride(a.width) + i;
            const double d = double(a.bits[at]) - double(b.bits[at]);
            sum += d * d;
        }
    const double mse = sum / (3.0 * a.width * a.height);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

double LabAbRmse(const Photo& a, const Photo& b) {
    double sum = 0;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x) {
            const size_t at = y * Stride(a.width) + 3 * x;
            double aa, ab, ba, bb;
            LabAb(a.bits[at], a.bits[at + 1], a.bits[at + 2], aa, ab);
            LabAb(b.bits[at], b.bits[at + 1], b.bits[at + 2], ba, bb);
            sum += (aa - ba) * (aa - ba) + (ab - bb) * (ab - bb);
        }
    return std::sqrt(sum / (2.0 * a.width * a.height));
}

Photo Denoise(const Photo& noisy, const calmora::RunSettings& settings) {
    Photo out = Blank(noisy);
    const calmora::FullRunImage image{noisy.bits.data(), out.bits.data(), noisy.width,
                                      noisy.height};
    if (calmora::RunFullDenoise(settings, image, {}).end != calmora::RunEnd::Completed) {
        std::fprintf(stderr, "run refused (intensity %d)\n", settings.sigma);
        std::exit(3);
    }
    return out;
}

}  // namespace bench
