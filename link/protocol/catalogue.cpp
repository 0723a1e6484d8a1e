#include "protocol/catalogue.h"

#include <cstddef>

// The projector's command catalogue: three fixed lists of display rows.
// Each row is a command, the carriage-return mark "[CR]" and, for most rows,
// a separator of blanks/tabs, ":" and a short description. The separators only
// line the descriptions up; the console sends whatever precedes the first '['.
// The rows are kept exactly as they are shown, including their irregularities
// (a few marks without "]", a trailing blank here and there, one ';').

namespace {

// clang-format off
const char *const kBasicRows[] = {
    "C00[CR]     :POWER ON", // 0
    "C01[CR]     :POWER OFF(Quick Power OFF)", // 1
    "C05[CR]     :INPUT1", // 2
    "C06[CR]     :INPUT2", // 3
    "C07[CR]     :INPUT3", // 4
    "C08[CR]     :INPUT4", // 5
    "C0D[CR]     :VIDEO MUTE ON", // 6
    "C0E[CR]     :VIDEO MUTE OFF", // 7
    "C0F[CR]     :Screen Normal size(4:3)", // 8
    "C10[CR]     :Screen Wide size(16:9)", // 9
    "C1C[CR]     :MENU ON", // 10
    "C1D[CR]     :MENU OFF", // 11
    "C1E[CR]     :DISPLAY CLEAR", // 12
    "C27[CR]     :IMAGE(Toggle)", // 13
    "C30[CR]     :D.Zoom +", // 14
    "C31[CR]     :D.Zoom -", // 15
    "C3A[CR]     :POINTER RIGHT", // 16
    "C3B[CR]     :POINTER LEFT", // 17
    "C3C[CR]     :POINTER UP", // 18
    "C3D[CR]     :POINTER DOWN", // 19
    "C3F[CR]     :ENTER", // 20
    "C43[CR]     :FREEZE ON", // 21
    "C44[CR]     :FREEZE OFF", // 22
    "C46[CR]     :ZOOM -", // 23
    "C47[CR]     :ZOOM +", // 24
    "C4A[CR]     :FOCUS -", // 25
    "C4B[CR]     :FOCUS +", // 26
    "C5D[CR]     :Lens Shift Up", // 27
    "C5E[CR]     :Lens Shift Down", // 28
    "C5F[CR]     :Lens Shift Left", // 29
    "C60[CR]     :Lens Shift Right", // 30
    "C89[CR]     :Auto PC ADJ.", // 31
    "C8A[CR]     :PRESENTATION TIMER", // 32
    "C8E[CR]     :KEYSTONE UP", // 33
    "C8F[CR]     :KEYSTONE DOWN", // 34
    "C90[CR]     :KEYSTONE Left", // 35
    "C91[CR]     :KEYSTONE Right", // 36
    "CR0[CR]     :Status Read", // 37
    "CR1[CR]     :Input Mode Read", // 38
    "CR3[CR]     :(Corresponding)Lamp Time Read", // 39
    "CR4[CR]     :Setting Read", // 40
    "CR6[CR]     :Temp Read", // 41
    "CR7[CR]     :Lamp Mode Read", // 42
    "CR9[CR]     :Pc Type Read", // 43
    "CRA[CR]     :Status 2 Read", // 44
};

const char *const kSettingRows[] = {
    "CF CONT UP[CR]  \t\t:Set Contrast value", // 0
    "CF CONT DN[CR]", // 1
    "CF CONT 0%%[CR]  \t\t:% = 0-9", // 2
    "CF BRIGHT UP[CR]  \t\t:Set Brightness value", // 3
    "CF BRIGHT DN[CR]", // 4
    "CF BRIGHT 0%%[CR]  \t\t:% = 0-9", // 5
    "CF COLOR UP[CR]  \t\t:Set Color value", // 6
    "CF COLOR DN[CR]", // 7
    "CF COLOR 0%%[CR]  \t\t:% = 0-9", // 8
    "CF TINT UP[CR]  \t\t:Set Tint value", // 9
    "CF TINT DN[CR]", // 10
    "CF TINT 0%%[CR]  \t\t:% = 0-9", // 11
    "CF COLMNSAV 00%[CR] \t\t:Set area to store current values of Color Management", // 12
    "CF COLMNLD 00%[CR] \t\t:Set area to load values of Color Management", // 13
    "CF APCTRL L1[CR] \t\t:Set level of Auto Picture Control", // 14
    "CF APCTRL L2[CR]", // 15
    "CF APCTRL OFF[CR]", // 16
    "CF APCTRL UP[CR]", // 17
    "CF APCTRL DN[CR]", // 18
    "CF COLTEMP 000[CR]  \t\t:Set Color Temp. value", // 19
    "CF COLTEMP 001[CR]", // 20
    "CF COLTEMP 002[CR]", // 21
    "CF COLTEMP 003[CR]", // 22
    "CF WBAL-R UP[CR]  \t\t:Set White Balance Red value", // 23
    "CF WBAL-R DN[CR]", // 24
    "CF WBAL-R 0%%[CR]  \t\t:% = 0-9", // 25
    "CF WBAL-G UP[CR]  \t\t:Set White Balance Green value", // 26
    "CF WBAL-G DN[CR]", // 27
    "CF WBAL-G 0%%[CR]  \t\t:% = 0-9", // 28
    "CF WBAL-B UP[CR]  \t\t:Set White Balance Blue value", // 29
    "CF WBAL-B DN[CR]", // 30
    "CF WBAL-B 0%%[CR]  \t\t:% = 0-9", // 31
    "CF OFFSET-R UP[CR]  \t\t:Set Red value of Offset", // 32
    "CF OFFSET-R DN[CR]", // 33
    "CF OFFSET-R 0%%[CR]  \t\t:% = 0-9", // 34
    "CF OFFSET-G UP[CR]  \t\t:Set Green value of Offset", // 35
    "CF OFFSET-G DN[CR]", // 36
    "CF OFFSET-G 0%%[CR]  \t\t:% = 0-9", // 37
    "CF OFFSET-B UP[CR]  \t\t:Set Blue value of Offset", // 38
    "CF OFFSET-B DN[CR]", // 39
    "CF OFFSET-B 0%%[CR]  \t\t:% = 0-9", // 40
    "CF SHARP UP[CR]  \t\t:Set Sharpness value", // 41
    "CF SHARP DN[CR]", // 42
    "CF SHARP 0%%[CR]  \t\t:% = 0-9", // 43
    "CF GAMMA UP[CR]  \t\t:Set Gamma value", // 44
    "CF GAMMA DN[CR]", // 45
    "CF GAMMA 0%%[CR]  \t\t:% = 0-9", // 46
    "CF NZRED ON[CR]  \t\t:Set/Cancel Noise reduction", // 47
    "CF NZRED OFF[CR]", // 48
    "CF PROGV ON[CR]  \t\t:Set/Cancel Progressive Scan", // 49
    "CF PROGV FILM[CR]", // 50
    "CF PROGV OFF[CR]", // 51
    "CF IMAGE STAND[CR]  \t\t:Set Image mode", // 52
    "CF IMAGE REAL[CR]", // 53
    "CF IMAGE CINEMA[CR]", // 54
    "CF IMAGE CUSTOM1[CR]", // 55
    "CF IMAGE CUSTOM2[CR]", // 56
    "CF IMAGE CUSTOM3[CR]", // 57
    "CF IMAGE CUSTOM4[CR]", // 58
    "CF IMAGE CUSTOM5[CR]", // 59
    "CF IMAGE CUSTOM6[CR]", // 60
    "CF IMAGE CUSTOM7[CR]", // 61
    "CF IMAGE CUSTOM8[CR]", // 62
    "CF IMAGE CUSTOM9[CR]", // 63
    "CF IMAGE CUSTOM10[CR]", // 64
    "CF IMAGEADJ RST[CR]  \t\t:Reset/Store for image adjustment", // 65
    "CF IMAGEADJ STR1[CR]", // 66
    "CF IMAGEADJ STR2[CR]", // 67
    "CF IMAGEADJ STR3[CR]", // 68
    "CF IMAGEADJ STR4[CR]", // 69
    "CF IMAGEADJ STR5[CR]", // 70
    "CF IMAGEADJ STR6[CR]", // 71
    "CF IMAGEADJ STR7[CR]", // 72
    "CF IMAGEADJ STR8[CR]", // 73
    "CF IMAGEADJ STR9[CR]", // 74
    "CF IMAGEADJ STR10[CR]", // 75
    "CF ADVCOL AUTO[CR] \t\t:Set mode of Advanced color setting", // 76
    "CF ADVCOL OFF[CR]", // 77
    "CF ADVCOL UP[CR]", // 78
    "CF ADVCOL DN[CR]", // 79
    "CF FSYNC UP[CR]  \t\t:Set Fine Sync value", // 80
    "CF FSYNC DN[CR]", // 81
    "CF FSYNC 00%%[CR]  \t\t:% = 0-9", // 82
    "CF TDOTS UP[CR]  \t\t:Set Total Dots value", // 83
    "CF TDOTS DN[CR]", // 84
    "CF TDOTS %%%%[CR]  \t\t:% = 0-9", // 85
    "CF H-POS UP[CR]  \t\t:Set Horizonetal Position value", // 86
    "CF H-POS DN[CR]", // 87
    "CF H-POS %%%%[CR]  \t\t:% = 0-9", // 88
    "CF V-POS UP[CR]  \t\t:Set Vertical Position value", // 89
    "CF V-POS DN[CR]", // 90
    "CF V-POS %%%%[CR]  \t\t:% = 0-9", // 91
    "CF CLAMP UP[CR]  \t\t:Set Clamp Value", // 92
    "CF CLAMP DN[CR]", // 93
    "CF CLAMP %%%%[CR]  \t\t:% = 0-9", // 94
    "CF DDOTS UP[CR]  \t\t:Set Display Dots value", // 95
    "CF DDOTS DN[CR]", // 96
    "CF DDOTS %%%%[CR]  \t\t:% = 0-9", // 97
    "CF DLINE UP[CR]  \t\t:Set Display Line value", // 98
    "CF DLINE DN[CR]", // 99
    "CF DLINE %%%%[CR]  \t\t:% = 0-9", // 100
    "CF SETPCADJ XGA1[CR] \t\t:Apply valuse set in PC Adjust menu to screen image", // 101
    "CF SETPCADJ HDTV1080[CR]", // 102
    "CF SETPCADJ MODE1[CR]", // 103
    "CF SETPCADJ EXT11[CR]", // 104
    "CF ORGMODE VGA1[CR]  \t\t:Select System", // 105
    "CF ORGMODE XGA1[CR]", // 106
    "CF ORGMODE WXGA3[CR]", // 107
    "CF ORGMODE 1080I60[CR]", // 108
    "CF ORGMODE 1080I50[CR]", // 109
    "CF ORGMODE 1035I[CR]", // 110
    "CF ORGMODE 720P60[CR]", // 111
    "CF ORGMODE 720P50[CR]", // 112
    "CF ORGMODE 575P[CR]", // 113
    "CF ORGMODE 480P[CR]", // 114
    "CF ORGMODE 575I[CR]", // 115
    "CF ORGMODE 480I[CR] ", // 116
    "CF ORGMODE 1080PSF/24[CR]", // 117
    "CF ORGMODE 1080PSF/25[CR]", // 118
    "CF ORGMODE 1080PSF/30[CR]", // 119
    "CF ORGMODE 1080P24[CR]", // 120
    "CF ORGMODE 1080P25[CR]", // 121
    "CF ORGMODE 1080P30[CR]", // 122
    "CF ORGMODE 1080P50[CR]", // 123
    "CF ORGMODE 1080P60[CR]", // 124
    "CF PCSTORE MODE1[CR]  \t\t:Store current values of PC Adjust at Mode 1-5", // 125
    "CF PCSTORE MODE2[CR]", // 126
    "CF PCSTORE MODE3[CR]", // 127
    "CF PCSTORE MODE4[CR]", // 128
    "CF PCSTORE MODE5[CR]", // 129
    "CF PCSTORE MODE6[CR]", // 130
    "CF PCSTORE MODE7[CR]", // 131
    "CF PCSTORE MODE8[CR]", // 132
    "CF PCSTORE MODE9[CR]", // 133
    "CF PCSTORE MODE10[CR]", // 134
    "CF PCMODEFREE MODE1[CR]  \t:Relese registered values of Mode 1-5", // 135
    "CF PCMODEFREE MODE2[CR]", // 136
    "CF PCMODEFREE MODE3[CR]", // 137
    "CF PCMODEFREE MODE4[CR]", // 138
    "CF PCMODEFREE MODE5[CR]", // 139
    "CF PCMODEFREE MODE6[CR]", // 140
    "CF PCMODEFREE MODE7[CR]", // 141
    "CF PCMODEFREE MODE8[CR]", // 142
    "CF PCMODEFREE MODE9[CR]", // 143
    "CF PCMODEFREE MODE10[CR]", // 144
    "CF INPUT 1[CR]  \t\t:Select Input", // 145
    "CF INPUT 2[CR]", // 146
    "CF INPUT 3[CR]", // 147
    "CF INPUT 4[CR]", // 148
    "CF INPUT UP[CR]", // 149
    "CF INPUT DN[CR]", // 150
    "CF SOURCE DIGITAL[CR]  \t:Select Input Source", // 151
    "CF SOURCE ANALOG[CR]", // 152
    "CF SOURCE VIDEO[CR]", // 153
    "CF SOURCE S-VIDEO[CR]", // 154
    "CF SOURCE YPBPR[CR]", // 155
    "CF SOURCE YCBCR[CR]", // 156
    "CF SOURCE SDI1[CR]", // 157
    "CF SOURCE SDI2[CR]", // 158
    "CF SOURCE SCART[CR]", // 159
    "CF SOURCE HDCP[CR]", // 160
    "CF SOURCE HDWL[CR]", // 161
    "CF INPUT1 DIGITAL[CR]  \t:Select Input11 and also set input source to %1", // 162
    "CF INPUT1 ANALOG[CR]", // 163
    "CF INPUT1 VIDEO[CR]", // 164
    "CF INPUT1 S-VIDEO[CR]", // 165
    "CF INPUT1 YPBPR[CR]", // 166
    "CF INPUT1 YCBCR[CR]", // 167
    "CF INPUT1 SDI1[CR]", // 168
    "CF INPUT1 SDI2[CR]", // 169
    "CF INPUT1 SCART[CR]", // 170
    "CF INPUT1 HDCP[CR]", // 171
    "CF INPUT1 HDWL[CR]", // 172
    "CF INPUT2 DIGITAL[CR", // 173
    "CF INPUT2 ANALOG[CR]", // 174
    "CF INPUT2 VIDEO[CR]", // 175
    "CF INPUT2 S-VIDEO[CR]", // 176
    "CF INPUT2 YPBPR[CR]", // 177
    "CF INPUT2 YCBCR[CR]", // 178
    "CF INPUT2 SDI1[CR]", // 179
    "CF INPUT2 SDI2[CR]", // 180
    "CF INPUT2 SCART[CR]", // 181
    "CF INPUT2 HDCP[CR]", // 182
    "CF INPUT2 HDWL[CR]", // 183
    "CF INPUT3 DIGITAL[CR", // 184
    "CF INPUT3 ANALOG[CR]", // 185
    "CF INPUT3 VIDEO[CR]", // 186
    "CF INPUT3 S-VIDEO[CR]", // 187
    "CF INPUT3 YPBPR[CR]", // 188
    "CF INPUT3 YCBCR[CR]", // 189
    "CF INPUT3 SDI1[CR]", // 190
    "CF INPUT3 SDI2[CR]", // 191
    "CF INPUT3 SCART[CR]", // 192
    "CF INPUT3 HDCP[CR]", // 193
    "CF INPUT3 HDWL[CR]", // 194
    "CF INPUT4 DIGITAL[CR", // 195
    "CF INPUT4 ANALOG[CR]", // 196
    "CF INPUT4 VIDEO[CR]", // 197
    "CF INPUT4 S-VIDEO[CR]", // 198
    "CF INPUT4 YPBPR[CR]", // 199
    "CF INPUT4 YCBCR[CR]", // 200
    "CF INPUT4 SDI1[CR]", // 201
    "CF INPUT4 SDI2[CR]", // 202
    "CF INPUT4 SCART[CR]", // 203
    "CF INPUT4 HDCP[CR]", // 204
    "CF INPUT4 HDWL[CR]", // 205
    "CF SYSTEM VGA1[CR]  \t\t:Select System", // 206
    "CF SYSTEM XGA1[CR]", // 207
    "CF SYSTEM D-XGA[CR]", // 208
    "CF SYSTEM D-WXGA3[CR]", // 209
    "CF SYSTEM AUTO[CR]", // 210
    "CF SYSTEM NTSC[CR]", // 211
    "CF SYSTEM NTSC443[CR]", // 212
    "CF SYSTEM PAL[CR]", // 213
    "CF SYSTEM SECAM[CR]", // 214
    "CF SYSTEM PAL-M[CR]", // 215
    "CF SYSTEM PAL-N[CR]", // 216
    "CF SYSTEM 1080I[CR]", // 217
    "CF SYSTEM 1035I[CR]", // 218
    "CF SYSTEM 720P[CR]", // 219
    "CF SYSTEM 575P[CR]", // 220
    "CF SYSTEM 480P[CR]", // 221
    "CF SYSTEM 575I[CR]", // 222
    "CF SYSTEM 480I[CR]", // 223
    "CF SCREEN NORMAL[CR]  \t\t:Select Screen size", // 224
    "CF SCREEN TRUE[CR]", // 225
    "CF SCREEN WIDE[CR]", // 226
    "CF SCREEN FULL[CR]", // 227
    "CF SCREEN CUSTOM[CR]", // 228
    "CF SCREEN DZOOM UP[CR]", // 229
    "CF SCREEN DZOOM DN[CR]", // 230
    "CF SCREEN UP[CR]", // 231
    "CF SCREEN DN[CR]", // 232
    "CF DZCENT CENT[CR]  \t\t:Cancel Digital Zoom mode", // 233
    "CF KEYSTONE UP[CR]  \t\t:Set Keystone", // 234
    "CF KEYSTONE FUP[CR]", // 235
    "CF KEYSTONE DN[CR]", // 236
    "CF KEYSTONE FDN[CR]", // 237
    "CF KEYSTONE LEFT[CR]", // 238
    "CF KEYSTONE FLFT[CR]", // 239
    "CF KEYSTONE RIGHT[CR]", // 240
    "CF KEYSTONE FRGT[CR]", // 241
    "CF KEYSTONE RST[CR]", // 242
    "CF KYSTNMODE STR[CR]  \t\t:Set Keystone Store mode", // 243
    "CF KYSTNMODE RST[CR]", // 244
    "CF CEIL ON[CR]  \t\t:Set Celling function", // 245
    "CF CEIL OFF[CR]", // 246
    "CF REAR ON[CR]  \t\t:Set Rear function", // 247
    "CF REAR OFF[CR]", // 248
    "CF VSCALE UP[CR]  \t\t:Set value of Vertical scale", // 249
    "CF VSCALE DN[CR]", // 250
    "CF VSCALE %%%[CR]  \t\t:% = 0-9", // 251
    "CF VPOS UP[CR]  \t\t:Set value of Vertical position", // 252
    "CF VPOS DN[CR]", // 253
    "CF VPOS %%%[CR]  \t\t:% = 0-9", // 254
    "CF HSCALE UP[CR]  \t\t:Set value of Horizontal scale", // 255
    "CF HSCALE DN[CR]", // 256
    "CF HSCALE %%%[CR]  \t\t:% = 0-9", // 257
    "CF HPOS UP[CR]  \t\t:Set value of Horizontal position", // 258
    "CF HPOS DN[CR]", // 259
    "CF HPOS %%%[CR]  \t\t:% = 0-9", // 260
    "CF LAMPH RST1[CR]  \t\t:Reset Lamp use time", // 261
    "CF LAMPH RST2[CR]", // 262
    "CF LAMPMODE FULL[CR]\t\t:Select Lamp mode", // 263
    "CF LAMPMODE HALF[CR]", // 264
    "CF AUTOLAMPCONTRL NORMAL[CR] \t:Switch dimmer function levels of Normal/Auto/Eco", // 265
    "CF AUTOLAMPCONTRL ECO[CR]", // 266
    "CF AUTOLAMPCONTRL AUTO[CR]", // 267
    "CF LANG ENG[CR]  \t\t:Select English        Select language for OSD", // 268
    "CF LANG DEU[CR]  \t\t:Select Geman", // 269
    "CF LANG FRA[CR]  \t\t:Select French", // 270
    "CF LANG ITA[CR]  \t\t:Select Italian", // 271
    "CF LANG ESP[CR]  \t\t:Select Spanish", // 272
    "CF LANG POR[CR]  \t\t:Select Portuguese", // 273
    "CF LANG NED[CR]  \t\t:Select Dutch", // 274
    "CF LANG SVE[CR]  \t\t:Select Swedish", // 275
    "CF LANG JPN[CR]  \t\t:Select Japanese", // 276
    "CF LANG CHI[CR]  \t\t:Select Chinese", // 277
    "CF LANG KOR[CR]  \t\t:Select Korean", // 278
    "CF LANG RUS[CR]  \t\t:Select Russian", // 279
    "CF DISP ON[CR]  \t\t:Set Display function", // 280
    "CF DISP CNTDWNOFF[CR]", // 281
    "CF DISP OFF[CR]", // 282
    "CF DISP UP[CR]", // 283
    "CF DISP DN[CR]", // 284
    "CF BACKGND BLUE[CR]  \t\t:Set Screen mode for the case of no signal", // 285
    "CF BACKGND USER[CR]", // 286
    "CF BACKGND BLACK[CR]", // 287
    "CF BACKGND UP[CR]", // 288
    "CF BACKGND DN[CR]", // 289
    "CF LOGO %%%% OFF[CR]  \t\t:Set Logo function", // 290
    "CF LOGO %%%% DFLT[CR]", // 291
    "CF LOGO %%%% USER[CR]", // 292
    "CF LOGO %%%% UP[CR]", // 293
    "CF LOGO %%%% DN[CR]", // 294
    "CF FANSPEED MAX[CR]  \t\t:Select level of Fan Speed", // 295
    "CF FANSPEED NOR[CR]", // 296
    "CF RCODE 001[CR]  \t\t:Select Remote Control Receptin Code", // 297
    "CF RCODE 002[CR]", // 298
    "CF RCODE 003[CR]", // 299
    "CF RCODE 004[CR]", // 300
    "CF RCODE 005[CR]", // 301
    "CF RCODE 006[CR]", // 302
    "CF RCODE 007[CR]", // 303
    "CF RCODE 008[CR]", // 304
    "CF RCODE UP[CR]", // 305
    "CF RCODE DN[CR]", // 306
    "CF RSENS BOTH[CR] \t\t;Select location of infrared remote receiver of remote control", // 307
    "CF RSENS FRONT[CR]", // 308
    "CF RSENS BACK[CR]", // 309
    "CF RSENS UP[CR]", // 310
    "CF RSENS DN[CR]", // 311
    "CF P-MANE OFF[CR]  \t\t:Set Power management function", // 312
    "CF P-MANE READY[CR]", // 313
    "CF P-MANE SHUTDOWN[CR]", // 314
    "CF P-MANE UP[CR]", // 315
    "CF P-MANE DN[CR]", // 316
    "CF P-MANETIME UP[CR]  \t\t:Set Power management time", // 317
    "CF P-MANETIME DN[CR]", // 318
    "CF P-MANETIME %%[CR]", // 319
    "CF ON-STA ON[CR]  \t\t:Set Power ON Start function", // 320
    "CF ON-STA OFF[CR]", // 321
    "CF ON-STA UP[CR]", // 322
    "CF ON-STA DN[CR]", // 323
    "CF PJPINCODE %%%%[CR]  \t\t:input PIN code release PJ Locj", // 324
    "CF FILH RST[CR]  \t\t:Reset Filter used time", // 325
    "CF FILTIMER 0400[CR]  \t\t:Set time when Filter warning OSD is displayed", // 326
    "CF FILTIMER 0700[CR]", // 327
    "CF FILTIMER 1000[CR]", // 328
    "CF FILTIMER OFF[CR]", // 329
    "CF FILCTL ROLL[CR] \t\t:Execute operation of scroll of filter", // 330
    "CF FILSCRL RST[CR] \t\t:Reset Filter scroll counter", // 331
    "CF TESTPAT COLOR[CR]  \t\t:Set Test pattern display function", // 332
    "CF TESTPAT GRAD1[CR]", // 333
    "CF TESTPAT GRAD2[CR]", // 334
    "CF TESTPAT GRAD3[CR]", // 335
    "CF TESTPAT GRAD4[CR]", // 336
    "CF TESTPAT WHITE[CR]", // 337
    "CF TESTPAT BLACK[CR]", // 338
    "CF TESTPAT CROSS[CR]", // 339
    "CF TESTPAT OFF[CR]", // 340
    "CF TESTPAT UP[CR]", // 341
    "CF TESTPAT DN[CR]", // 342
    "CF FDEFAULT RST[CR]  \t\t:Set the value to Factory Default \t", // 343
    "CF KEYDIS NONE[CR]  \t\t:Disable RC/Projector keys", // 344
    "CF KEYDIS RC[CR]", // 345
    "CF KEYDIS KEY[CR]", // 346
    "CF SHUTRCPROT ON[CR]  \t\t:Set valid / invalid of RC use on Shutter control function", // 347
    "CF SHUTRCPROT OFF[CR]", // 348
    "CF SHUTKEYPROT ON[CR]  \t\t:Set valid / invalid use of key on the top panel on Shutter control function", // 349
    "CF SHUTKEYPROT OFF[CR]", // 350
    "CF SHUTH UP[CR]  \t\t:Set time of operating shutter management function", // 351
    "CF SHUTH DN[CR]", // 352
    "CF SHUTH %%%[CR]", // 353
    "CF SHUTTER OPEN[CR] \t\t:Control OPEN/CLOSE of Shutter", // 354
    "CF SHUTTER CLOSE[CR]", // 355
    "CF HDWLMODE SINGLE[CR]  \t:Set communication mode with a radio transmitter", // 356
    "CF HDWLMODE BROADCAST[CR] ", // 357
    "CF HDWLAUTH EXECUTE[CR]  \t:Perform/cancel the authentication between projector and radio transmitter", // 358
    "CF HDWLAUTH RST[CR]", // 359
    "CF HDWLINID %%%%%%%%[CR] \t:Set the Input of the transmitter", // 360
    "CF HDWLFDEF RST[CR] \t\t:Return the setting to Factory Default status of HD data wireless setting", // 361
};

const char *const kReadRows[] = {
    "CR STATUS[CR] \t:Get setting status of Projector behavior", // 0
    "CR SIGNAL[CR] \t:Get Signal Status if there is a signal or not", // 1
    "CR VMUTE[CR] \t:Get setting status of No Show", // 2
    "CR FREEZE[CR] \t:Get setting status of Freeze", // 3
    "CR PTIMER[CR] \t:Get status of P-timer", // 4
    "CR TEMPWARN[CR] :Get if temperature is close to abnomal temperature", // 5
    "CR TEMPFAIL[CR] :Get temperature when sensors approach abnomal temperature ", // 6
    "CR SERIALNO[CR] :Get serial number of Projector", // 7
    "CR SHUTCOND[CR] :Get setting status of Shutter", // 8
    "CR HDWLMODE[CR] :Get communication mode with a radio transmitter", // 9
    "CR HDWLAUTH[CR] :Get status of the authentication between projector and radio transmitter", // 10
    "CR HDWLINID[CR] :Get the ID of the transmitter", // 11
    "CR HDWLRECEPLV[CR] :Get status of the reception level of a radio beam", // 12
    "CR INPUT[CR] \t:Get currently selected Input", // 13
    "CR SOURCE[CR] \t:Get selected source of currently selected input", // 14
    "CR SYSTEM[CR] \t:Get selected system status in input mode", // 15
    "CR SRCINP1[CR] \t:Get selected source of Computer1", // 16
    "CR SRCINP2[CR] \t:Get selected source of Computer2", // 17
    "CR SRCINP3[CR] \t:Get selected source of Computer3", // 18
    "CR SRCINP4[CR] \t:Get selected source of Computer4", // 19
    "CR HMSLOT[CR] \t:Get total number of Inputs", // 20
    "CR NMSLOT1[CR] \t:Get terminal information of Input1", // 21
    "CR NMSLOT2[CR] \t:Get terminal information of Input2", // 22
    "CR NMSLOT3[CR] \t:Get terminal information of Input3", // 23
    "CR NMSLOT4[CR] \t:Get terminal information of Input4", // 24
    "CR IDSLOT1[CR] \t:Get ID information of Input1", // 25
    "CR IDSLOT2[CR] \t:Get ID information of Input2", // 26
    "CR IDSLOT3[CR] \t:Get ID information of Input3", // 27
    "CR IDSLOT4[CR] \t:Get ID information of Input4", // 28
    "CR SCREEN[CR] \t:Get setting status of Screen size", // 29
    "CR KYSTNMODE[CR] :Get setting status of Keystone Store mode", // 30
    "CR CEIL[CR] \t:Get setting status of Ceiling function", // 31
    "CR REAR[CR] \t:Get setting status of Rear function", // 32
    "CR VSCALE[CR] \t:Get setting value of Vertical scale", // 33
    "CR VPOS[CR] \t:Get setting value of Vertical position", // 34
    "CR HSCALE[CR] \t:Get setting value of Horizontal scale", // 35
    "CR HPOS[CR] \t:Get setting value of Horizontal position", // 36
    "CR LAMPREPL[CR] :Get the information for Lamp replacement time", // 37
    "CR LAMPMODE[CR] :Get setting status of Lamp mode", // 38
    "CR AUTOLAMPCONTRL[CR] :Get setting status of dimmerfunction level", // 39
    "CR LAMPSTS[CR] \t:Get lamp lighting status", // 40
    "CR INFLAMP[CR] \t:Get the total number of lamps", // 41
    "CR PROJH[CR] \t:Get projector running time", // 42
    "CR HMLAMP[CR] \t:Get lamp number", // 43
    "CR LAMPH[CR] \t:Get lamp total running time", // 44
    "CR FSYNC[CR] \t:Get setting value of Fine Sync", // 45
    "CR TDOTS[CR] \t:Get setting value of Total Dots", // 46
    "CR CLAMP[CR] \t:Get setting value of Clamp", // 47
    "CR H-POS[CR] \t:Get setting value of Horizontal Position", // 48
    "CR V-POS[CR] \t:Get setting value of Vertical Position", // 49
    "CR DDOTS[CR] \t:Get setting value of Display Dots", // 50
    "CR DLINE[CR] \t:Get setting value of Display Line", // 51
    "CR SETPCADJ[CR] :Get currently display PC signal in system", // 52
    "CR ORGMODE[CR] \t:Get the original signal for PC-Adjusted mode", // 53
    "CR PCSTORE[CR] \t:Get Free or Stored status for PC Adj.mode1-5", // 54
    "CR SERSYS[CR] \t:Get selected current signal. When in Auto mode, it returns a result by Auto detect", // 55
    "CR LANG[CR] \t:Get selected language for OSD", // 56
    "CR DISP[CR] \t:Get setting status of Display function", // 57
    "CR BACKGND[CR] \t:Get setting status screen mode for the case of no signal", // 58
    "CR LOGO[CR] \t:Get setting status of Logo function", // 59
    "CR LOGOLOCK[CR] :Get setting status of Logo PIN code lock", // 60
    "CR FANSPEED[CR] :Get selected level of Fan Speed", // 61
    "CR RCODE[CR] \t:Get selected Remote Control Reception Code", // 62
    "CR RSENS[CR] \t:Get selected location of infrared remote receiver of remote control", // 63
    "CR P-MANE[CR] \t:Get setting status of Power management", // 64
    "CR P-MANETIME[CR] :Get setting value of Power management time", // 65
    "CR ON-STA[CR] \t:Get setting status of ON Start", // 66
    "CR SECURITY[CR] :Get setting status of Security function", // 67
    "CR PJLOCKNOW[CR] :Get if PJ Lock is actually in operation", // 68
    "CR PJLOCKMENU[CR] :Get setting status of PJ Lock on Menu", // 69
    "CR FILH[CR] \t:Get Filter used time", // 70
    "CR FILCOND[CR] :Get status of filter clog", // 71
    "CR FILREPL[CR] \t:Get the information for Filter replacement time", // 72
    "CR FILTIMER[CR] :Get time when Filter warning OSD is displayed", // 73
    "CR FILREMAIN[CR] :Get remain number of usable Filter scroll", // 74
    "CR TESTPAT[CR]  :Get setting status of Test pattern display", // 75
    "CR KEYDIS[CR] \t:Get RC/KEY disability status", // 76
    "CR SHUTRCPROT[CR] :Get remote controller disability status of the shutter", // 77
    "CR SHUTKEYPROT[CR] :Get key controller disability state of the shutter", // 78
    "CR SHUTH[CR] \t:Get time setting to begin the shutter management", // 79
    "CR CONT[CR] \t:Get setting value of Contrast", // 80
    "CR BRIGHT[CR] \t:Get setting value of Brightness", // 81
    "CR COLOR[CR] \t:Get setting value of Color", // 82
    "CR TINT[CR] \t:Get setting value of Tint", // 83
    "CR APCTRL[CR] \t:Get setting atatus of Auto Picture Control", // 84
    "CR COLTEMP[CR] \t:Get setting value of Color Temp.", // 85
    "CR WBAL-R[CR] \t:Get setting value of White Balance Red", // 86
    "CR WBAL-G[CR] \t:Get setting value of White Balance Green", // 87
    "CR WBAL-B[CR] \t:Get setting value of White Balance Blue", // 88
    "CR OFFSET-R[CR] :Get setting value of Offset Red", // 89
    "CR OFFSET-G[CR] :Get setting value of Offset Green", // 90
    "CR OFFSET-B[CR] :Get setting value of Offset Blue", // 91
    "CR SHARP[CR] \t:Get setting value of Sharpness", // 92
    "CR GAMMA[CR] \t:Get setting value of Gamma", // 93
    "CR NZRED[CR] \t:Get setting status of Noise reduction", // 94
    "CR PROGV[CR] \t:Get setting status of Progressive scan", // 95
    "CR IMAGE[CR] \t:Get selected Image mode", // 96
    "CR IMGGMD[CR] \t:Get setting value of image Gamma", // 97
    "CR ADVCOL[CR] \t:Get setting status of Advanced color", // 98
};

// clang-format on

template<std::size_t N>
QStringList toList(const char *const (&rows)[N])
{
    QStringList list;
    list.reserve(qsizetype(N));
    for (const char *row : rows)
        list.append(QString::fromLatin1(row));
    return list;
}

} // namespace

namespace Catalogue {

QStringList basicRows()
{
    return toList(kBasicRows);
}

QStringList settingRows()
{
    return toList(kSettingRows);
}

QStringList readRows()
{
    return toList(kReadRows);
}

QString commandPart(const QString &row)
{
    const qsizetype bracket = row.indexOf(QLatin1Char('['));
    return bracket < 0 ? row : row.left(bracket);
}

} // namespace Catalogue
