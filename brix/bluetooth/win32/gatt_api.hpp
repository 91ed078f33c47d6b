// The part of Windows' Bluetooth LE GATT interface (BluetoothApis.dll, Windows 8 and later)
// that the strap source uses, declared from Microsoft's documented signatures and structures:
// Debian's mingw-w64 ships neither bluetoothleapis.h nor bthledef.h. The layouts must match
// the system's exactly (natural alignment, BOOLEAN one byte); the stand-in DLL of the tests
// is built from the same declarations.
#pragma once

#include <windows.h>

#include <cstddef>

namespace brix::gatt {

// A 16-bit short UUID of the Bluetooth base, or a whole one.
struct Uuid {
    BOOLEAN isShortUuid;
    union {
        USHORT shortUuid;
        GUID longUuid;
    } value;
};

struct Service {
    Uuid serviceUuid;
    USHORT attributeHandle;
};

struct Characteristic {
    USHORT serviceHandle;
    Uuid characteristicUuid;
    USHORT attributeHandle;
    USHORT characteristicValueHandle;
    BOOLEAN isBroadcastable;
    BOOLEAN isReadable;
    BOOLEAN isWritable;
    BOOLEAN isWritableWithoutResponse;
    BOOLEAN isSignedWritable;
    BOOLEAN isNotifiable;
    BOOLEAN isIndicatable;
    BOOLEAN hasExtendedProperties;
};

// BTH_LE_GATT_CHARACTERISTIC_VALUE: DataSize bytes of Data follow the size.
struct CharacteristicValue {
    ULONG dataSize;
    UCHAR data[1];
};

enum DescriptorType : int {
    CharacteristicExtendedProperties,
    CharacteristicUserDescription,
    ClientCharacteristicConfiguration,
    ServerCharacteristicConfiguration,
    CharacteristicFormat,
    CharacteristicAggregateFormat,
    CustomDescriptor
};

struct Descriptor {
    USHORT serviceHandle;
    USHORT characteristicHandle;
    DescriptorType descriptorType;
    Uuid descriptorUuid;
    USHORT attributeHandle;
};

struct DescriptorValue {
    DescriptorType descriptorType;
    Uuid descriptorUuid;
    union {
        struct {
            BOOLEAN isReliableWriteEnabled;
            BOOLEAN isAuxiliariesWritable;
        } characteristicExtendedProperties;
        struct {
            BOOLEAN isSubscribeToNotification;
            BOOLEAN isSubscribeToIndication;
        } clientCharacteristicConfiguration;
        struct {
            BOOLEAN isBroadcast;
        } serverCharacteristicConfiguration;
        struct {
            UCHAR format;
            UCHAR exponent;
            Uuid unit;
            UCHAR nameSpace;
            Uuid description;
        } characteristicFormat;
    };
    ULONG dataSize;
    UCHAR data[1];
};

enum EventType : int { CharacteristicValueChangedEvent };

// BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION with room for one characteristic, all the
// source registers at a time.
struct ValueChangedEventRegistration {
    USHORT numCharacteristics;
    Characteristic characteristics[1];
};

// What the callback receives for CharacteristicValueChangedEvent.
struct ValueChangedEvent {
    USHORT changedAttributeHandle;
    std::size_t characteristicValueDataSize;
    CharacteristicValue* characteristicValue;
};

using EventHandle = HANDLE;
using ReliableWriteContext = ULONG64;
using EventCallback = void(CALLBACK*)(EventType type, void* eventOutParameter, void* context);

constexpr ULONG kFlagNone = 0x00;
constexpr ULONG kFlagForceReadFromDevice = 0x04;

// The functions, as GetProcAddress finds them.
using GetServicesFn = HRESULT(WINAPI*)(HANDLE device, USHORT count, Service* buffer, USHORT* actual,
                                       ULONG flags);
using GetCharacteristicsFn = HRESULT(WINAPI*)(HANDLE device, Service* service, USHORT count,
                                              Characteristic* buffer, USHORT* actual, ULONG flags);
using GetDescriptorsFn = HRESULT(WINAPI*)(HANDLE device, Characteristic* characteristic,
                                          USHORT count, Descriptor* buffer, USHORT* actual,
                                          ULONG flags);
using GetDescriptorValueFn = HRESULT(WINAPI*)(HANDLE device, Descriptor* descriptor, ULONG size,
                                              DescriptorValue* value, USHORT* sizeRequired,
                                              ULONG flags);
using SetDescriptorValueFn = HRESULT(WINAPI*)(HANDLE device, Descriptor* descriptor,
                                              DescriptorValue* value, ULONG flags);
using SetCharacteristicValueFn = HRESULT(WINAPI*)(HANDLE device, Characteristic* characteristic,
                                                  CharacteristicValue* value,
                                                  ReliableWriteContext context, ULONG flags);
using RegisterEventFn = HRESULT(WINAPI*)(HANDLE service, EventType type, void* parameterIn,
                                         EventCallback callback, void* context, EventHandle* handle,
                                         ULONG flags);
using UnregisterEventFn = HRESULT(WINAPI*)(EventHandle handle, ULONG flags);

// The classic radio enumeration, exported by the same DLL: whether there is an adapter.
struct FindRadioParams {
    DWORD dwSize;
};
using FindFirstRadioFn = HANDLE(WINAPI*)(const FindRadioParams* params, HANDLE* radio);
using FindRadioCloseFn = BOOL(WINAPI*)(HANDLE find);

} // namespace brix::gatt
