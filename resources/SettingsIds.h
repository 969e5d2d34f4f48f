#pragma once
// Control ids of the settings page (dialog 145), shared by its template and its class.
// Ranges: 13xx input panels, 14xx encoder panels, 15xx output panels, 17xx service table. The
// play-out file, schedule and log controls keep their long-standing ids (1040, 1086 to 1091,
// 1115, 1116, 1165, 1200, 1201).
namespace kaptiv::resources::page {

inline constexpr int kDialogSettings = 145;

// Input group: satellite and terrestrial tuners.
inline constexpr int kInputGroup = 1300;
inline constexpr int kInputPicture = 1301;
// Per input (A = 0, B = 1): add kInputStride for input B.
inline constexpr int kInputStride = 20;
inline constexpr int kSatFreqLabel = 1310;
inline constexpr int kSatFreq = 1311;
inline constexpr int kSymbolRateLabel = 1312;
inline constexpr int kSymbolRate = 1313;
inline constexpr int kFecLabel = 1314; // input A: FEC or polarisation; input B: polarisation
inline constexpr int kFec = 1315;
inline constexpr int kLevelLabel = 1316;
inline constexpr int kLevelBar = 1317;
inline constexpr int kLevelText = 1318;
inline constexpr int kQualityLabel = 1319;
inline constexpr int kQualityBar = 1320;
inline constexpr int kQualityText = 1321;
inline constexpr int kLockIcon = 1322;
inline constexpr int kInputLetter = 1323;
// Input B only.
inline constexpr int kSwitchALabel = 1350;
inline constexpr int kSwitchA = 1351;
inline constexpr int kSwitchBLabel = 1352;
inline constexpr int kSwitchB = 1353;
// Terrestrial tuning per input (add kTerrestrialStride for B).
inline constexpr int kTerrestrialStride = 10;
inline constexpr int kStandardLabel = 1354;
inline constexpr int kStandard = 1355;
inline constexpr int kTerrFreqLabel = 1356;
inline constexpr int kTerrFreq = 1357;
inline constexpr int kTerrBandwidthLabel = 1358;
inline constexpr int kTerrBandwidth = 1359;
// Play-out rate.
inline constexpr int kPlayoutLabel = 1370;
inline constexpr int kPlayoutSlider = 1371;
inline constexpr int kPlayoutText = 1372;
// Extra panel of types 7, 10, 12.
inline constexpr int kExtraGroup = 1380;
inline constexpr int kExtraSelector = 1381;
inline constexpr int kStreamSidLabel = 1383;
inline constexpr int kStreamSid = 1384;
inline constexpr int kStreamNameLabel = 1385;
inline constexpr int kStreamName = 1386;
inline constexpr int kScheduleList = 1040;
inline constexpr int kScheduleStart = 1087;
inline constexpr int kScheduleEnd = 1088;
inline constexpr int kScheduleAdd = 1089;
inline constexpr int kScheduleRemove = 1090;
inline constexpr int kFileList = 1086;
inline constexpr int kFileUpload = 1200;
inline constexpr int kServerLabel = 1394;
inline constexpr int kServerAddress = 1395;
inline constexpr int kServerPortLabel = 1396;
inline constexpr int kServerPort = 1397;
inline constexpr int kReceiverLabel = 1398;
inline constexpr int kReceiverAddress = 1399;
inline constexpr int kLockTimeoutCheck = 1400;
inline constexpr int kLockTimeout = 1401;
inline constexpr int kLockWatchdog = 1402;
// Play-out files and the module log (types 7, 10, 12).
inline constexpr int kFileDelete = 1201;
inline constexpr int kStreamPort = 1165;
inline constexpr int kLogLabel = 1405;
inline constexpr int kLogOn = 1091;
inline constexpr int kLogGet = 1115;
inline constexpr int kLogOff = 1116;

// A/V encoder (type 9): channel c at kEncoderBase + c * kEncoderStride.
inline constexpr int kEncoderBase = 1410;
inline constexpr int kEncoderStride = 20;
// HD encoder (type 14): channel c at kHdBase + c * kHdStride.
inline constexpr int kHdBase = 1450;
inline constexpr int kHdStride = 12;
// Offsets inside an encoder channel.
inline constexpr int kEncGroup = 0;
inline constexpr int kEncNameLabel = 1;
inline constexpr int kEncName = 2;
inline constexpr int kEncSidLabel = 3;
inline constexpr int kEncSid = 4;
inline constexpr int kEncVideoLabel = 5;
inline constexpr int kEncVideo = 6;
inline constexpr int kEncAudio = 7;
inline constexpr int kEncAspect = 8; // A/V: aspect; HD: audio coding
inline constexpr int kEncStandard = 9;
inline constexpr int kEncBrightness = 10;
inline constexpr int kEncContrast = 11;
inline constexpr int kEncSaturation = 12;
inline constexpr int kEncAudioLabel = 14;
inline constexpr int kEncAspectLabel = 15;
inline constexpr int kEncStandardLabel = 16;
inline constexpr int kEncBrightnessLabel = 17;
inline constexpr int kEncContrastLabel = 18;
inline constexpr int kEncSaturationLabel = 19;
// HD channels use offsets 0 to 8 (8 = audio coding) and these labels.
inline constexpr int kHdAudioLabel = 9;
inline constexpr int kHdCodingLabel = 10;

// Output group: modulators.
inline constexpr int kOutputGroup = 1500;
inline constexpr int kOutputPicture = 1501;
inline constexpr int kModFreqLabel = 1510;
inline constexpr int kModFreq = 1511;
inline constexpr int kBandwidthLabel = 1512;
inline constexpr int kBandwidth = 1513;
inline constexpr int kGuardLabel = 1514;
inline constexpr int kGuard = 1515;
inline constexpr int kCodeRateLabel = 1516;
inline constexpr int kCodeRate = 1517;
inline constexpr int kModeLabel = 1518;
inline constexpr int kMode = 1519;
inline constexpr int kConstellationLabel = 1520;
inline constexpr int kConstellation = 1521;
inline constexpr int kModSymbolRateLabel = 1522;
inline constexpr int kModSymbolRate = 1523;
inline constexpr int kOutputLevelLabel = 1524;
inline constexpr int kOutputLevel = 1525;
inline constexpr int kOutputLevelText = 1526;
inline constexpr int kOnidLabel = 1527;
inline constexpr int kOnid = 1528;
inline constexpr int kNidLabel = 1529;
inline constexpr int kNid = 1530;
inline constexpr int kTsidLabel = 1531;
inline constexpr int kTsid = 1532; // channels 1 to 4: 1532 to 1535
inline constexpr int kNetworkNameLabel = 1536;
inline constexpr int kNetworkName = 1537;
inline constexpr int kVersionLabel = 1538;
inline constexpr int kVersion = 1539;
inline constexpr int kLcnLabel = 1540;
inline constexpr int kLcnFlavour = 1541;
inline constexpr int kRemoveCatEmm = 1542;
inline constexpr int kModWatchdog = 1543;
// Output channel k (1 to 4) at kChannelBase + (k - 1) * kChannelStride.
inline constexpr int kChannelBase = 1550;
inline constexpr int kChannelStride = 4;
inline constexpr int kChanLabel = 0;
inline constexpr int kChanFrequency = 1;
inline constexpr int kChanBar = 2;
inline constexpr int kChanRate = 3;
inline constexpr int kTotalRate = 1566;
// IP streamer.
inline constexpr int kDhcp = 1570;
inline constexpr int kSap = 1571;
inline constexpr int kIpLabel = 1572;
inline constexpr int kIpAddress = 1573; // 4 fields
inline constexpr int kMaskLabel = 1577;
inline constexpr int kIpMask = 1578; // 4 fields
inline constexpr int kGatewayLabel = 1582;
inline constexpr int kIpGateway = 1583; // 4 fields
inline constexpr int kProtocolLabel = 1587;
inline constexpr int kProtocol = 1588;
inline constexpr int kTtlLabel = 1589;
inline constexpr int kTtl = 1590;
inline constexpr int kQosLabel = 1591;
inline constexpr int kQos = 1592;
inline constexpr int kStreamTable = 1593;
inline constexpr int kStreamerRate = 1594;
inline constexpr int kStreamerBar = 1595;
inline constexpr int kStreamLetter = 1596; // "A" to "P": 1596 to 1611
inline constexpr int kMacLabel = 1612;
inline constexpr int kMac = 1613; // 6 fields: 1613 to 1618
inline constexpr int kStreamLetterStrip = 1619;

// Service table.
inline constexpr int kHeaderStrip = 1700;
inline constexpr int kHeaderLabel = 1701; // 1701 to 1707
inline constexpr int kServiceList = 1710;
inline constexpr int kRateGraph = 1711;
inline constexpr int kPageMessage = 1712;

} // namespace kaptiv::resources::page
