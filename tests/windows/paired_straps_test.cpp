// The strap's address read from the device interface paths Windows gives a paired strap's GATT
// services: how `--sensor ble:ADDRESS` picks its strap and finds the strap's second service.
#include <gtest/gtest.h>

#include "bluetooth/win32/paired_straps.hpp"

TEST(PairedStraps, AddressIsTheLastTwelveDigitsAfterAnUnderscore) {
    // With the device's ids (Windows 10 and later), and without (Windows 8); the service's and
    // the interface class's UUIDs end in twelve digits too, after a hyphen.
    EXPECT_EQ(brix::addressInPath(L"\\\\?\\BTHLEDevice#{0000180d-0000-1000-8000-00805f9b34fb}_Dev_"
                                  L"VID&01009e_PID&0000_REV&0001_c0ffee123456#8&2d7a3b5e&0&000c#"
                                  L"{6e3bb679-4372-40c8-9eaa-4509df260cd8}"),
              "C0:FF:EE:12:34:56");
    EXPECT_EQ(brix::addressInPath(L"\\\\?\\BTHLEDevice#{fb005c80-02e7-f387-1cad-8acd2d8df0c8}_"
                                  L"A0B1C2D3E4F5#7&1f0d1ab&0&0010#"
                                  L"{6e3bb679-4372-40c8-9eaa-4509df260cd8}"),
              "A0:B1:C2:D3:E4:F5");
    // No address: nothing, rather than a wrong one.
    EXPECT_EQ(brix::addressInPath(L"\\\\?\\BTHLEDevice#{0000180d-0000-1000-8000-00805f9b34fb}_"
                                  L"c0ffee1234#8&0"),
              "");
    EXPECT_EQ(brix::addressInPath(L"_c0ffee1234567"), ""); // thirteen digits are no address
}
