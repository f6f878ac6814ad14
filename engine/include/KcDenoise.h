/* KcDenoise: non-local-means denoising and small pixel primitives.
 *
 * Every image is 24 bits per pixel, bytes blue, green, red, rows stored
 * bottom-up, row stride (width * 3 + 3) & ~3 unless a stride is passed.
 * Buffers and records belong to the caller; the library keeps no state,
 * allocates nothing the caller sees, validates nothing and returns 0.
 */
#ifndef KCDENOISE_H
#define KCDENOISE_H

#include <stdint.h>

#if defined(_WIN32)
#define KC_API __declspec(dllexport)
#else
#define KC_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One band of rows to compute. */
typedef struct DenoiseJob {
    int32_t firstRow;    /* first buffer row computed (row 0 = bottom line) */
    int32_t lastRow;     /* last buffer row, inclusive; < firstRow: nothing */
    int32_t width;       /* pixels; defines the stride */
    int32_t height;      /* every source row is available to the search */
    int32_t tableLength; /* a distance d is used only when d < tableLength */
} DenoiseJob;

typedef struct DenoiseParams {
    int16_t patchRadius;  /* patch is (2p+1) x (2p+1) before clamping */
    int16_t searchRadius; /* window is (2s+1) x (2s+1) before clamping */
    int16_t wantNoise;    /* > 0: write the removed noise */
    int16_t viewChannel;  /* OUT forms: 0 colour, 1 red, 2 green, 3 blue, else none */
} DenoiseParams;

/* Per-channel strength, in buffer byte order. >= 1 filters fully, 0 keeps the source. */
typedef struct ChannelFactors {
    float blue;
    float green;
    float red;
} ChannelFactors;

#ifdef __cplusplus
static_assert(sizeof(DenoiseJob) == 20, "DenoiseJob is five int32");
static_assert(sizeof(DenoiseParams) == 8, "DenoiseParams is four int16");
static_assert(sizeof(ChannelFactors) == 12, "ChannelFactors is three float");
#else
_Static_assert(sizeof(DenoiseJob) == 20, "DenoiseJob is five int32");
_Static_assert(sizeof(DenoiseParams) == 8, "DenoiseParams is four int16");
_Static_assert(sizeof(ChannelFactors) == 12, "ChannelFactors is three float");
#endif

/* Whole-pixel filter of rows firstRow..lastRow of source into denoised; noise
 * gets (source - denoised) mod 256 when wantNoise > 0. source must not alias
 * any output. */
KC_API int32_t KcDenoiseCompleta(const DenoiseJob* job, const DenoiseParams* params,
                                 const uint8_t* source, uint8_t* denoised,
                                 const float* table, uint8_t* noise);

/* As KcDenoiseCompleta, plus display copies of the chosen channel
 * (viewDenoised, and viewNoise when wantNoise > 0); they may alias
 * denoised and noise. */
KC_API int32_t KcDenoiseCompletaOUT(const DenoiseJob* job, const DenoiseParams* params,
                                    const uint8_t* source, uint8_t* viewDenoised,
                                    const float* table, uint8_t* viewNoise,
                                    uint8_t* denoised, uint8_t* noise);

/* Each channel blended between source and filtered value by its factor. */
KC_API int32_t KcDenoisePerCanale(const DenoiseJob* job, const DenoiseParams* params,
                                  const uint8_t* source, uint8_t* denoised,
                                  const float* table, uint8_t* noise,
                                  const ChannelFactors* factors);

KC_API int32_t KcDenoisePerCanaleOUT(const DenoiseJob* job, const DenoiseParams* params,
                                     const uint8_t* source, uint8_t* viewDenoised,
                                     const float* table, uint8_t* viewNoise,
                                     const ChannelFactors* factors, uint8_t* denoised,
                                     uint8_t* noise);

/* Grey picture of one channel: its byte written to all three. In place allowed. */
KC_API int32_t KcEstraiRed(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height);
KC_API int32_t KcEstraiGreen(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height);
KC_API int32_t KcEstraiBlue(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height);

/* Quarter turn anticlockwise; destination is height wide and width high. Distinct buffers. */
KC_API int32_t KcRuota90Antiorario(const uint8_t* source, uint8_t* destination, int32_t width,
                                   int32_t height);

/* Nearest neighbour with one scale (the smaller ratio) for both axes. */
KC_API int32_t KcNearestResampling(const uint8_t* source, uint8_t* destination, int32_t srcWidth,
                                   int32_t srcStride, int32_t srcHeight, int32_t dstWidth,
                                   int32_t dstStride, int32_t dstHeight);

/* Copies height rows of width pixels, going up one row at a time in both. */
KC_API int32_t KcBitBlt(uint8_t* destination, int32_t dstColumn, int32_t dstRow, int32_t width,
                        int32_t dstStride, int32_t height, const uint8_t* source,
                        int32_t srcColumn, int32_t srcRow, int32_t srcStride);

/* White one-pixel outline; covered pixels are first copied into save
 * (room for max(w, h) pixels). */
KC_API int32_t KcDrawRect(uint8_t* image, uint8_t* save, int32_t imageWidth, int32_t unused,
                          int32_t left, int32_t bottom, int32_t rectWidth, int32_t rectHeight);

/* Every byte of the covered pixels: > 64 ? byte - 64 : 0. */
KC_API int32_t KcReduceLumCols(int32_t firstRow, int32_t lastRow, const uint8_t* source,
                               uint8_t* destination, int32_t unused1, int32_t stride,
                               int32_t unused2, int32_t firstColumn, int32_t lastColumn);
KC_API int32_t KcReduceLumRows(int32_t firstRow, int32_t lastRow, const uint8_t* source,
                               uint8_t* destination, int32_t width, int32_t stride,
                               int32_t unused);

#ifdef __cplusplus
}
#endif

#endif /* KCDENOISE_H */
