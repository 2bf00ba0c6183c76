// SPDX-License-Identifier: GPL-3.0-or-later
#include "StorageMedium.h"

#include <windows.h>

#include <winioctl.h>

#include <string>

#include "NativePath.h"

namespace {

using Kind = StorageMedium::Kind;

// One property of the storage device; false where the device or the system
// does not answer.
template <class Answer>
bool Query(HANDLE volume, STORAGE_PROPERTY_ID property, Answer& answer)
{
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = property;
    query.QueryType = PropertyStandardQuery;
    DWORD returned = 0;
    return ::DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &answer,
                             sizeof answer, &returned, nullptr)
           && returned >= sizeof answer;
}

Kind OfVolume(HANDLE volume)
{
    // Memory cards and USB sticks, whatever their controller says of seeking.
    STORAGE_DEVICE_DESCRIPTOR device{};
    if (Query(volume, StorageDeviceProperty, device)
        && (device.BusType == BusTypeUsb || device.BusType == BusTypeSd || device.BusType == BusTypeMmc))
        return Kind::Flash;
    DEVICE_SEEK_PENALTY_DESCRIPTOR seek{};
    if (Query(volume, StorageDeviceSeekPenaltyProperty, seek))
        return seek.IncursSeekPenalty ? Kind::Spinning : Kind::Flash;
    DEVICE_TRIM_DESCRIPTOR trim{};
    if (Query(volume, StorageDeviceTrimProperty, trim) && trim.TrimEnabled)
        return Kind::Flash;
    return Kind::Unknown;
}

}  // namespace

StorageMedium::Kind StorageMedium::Of(const wxString& path)
{
    std::wstring native;
    wchar_t root[MAX_PATH + 1];
    DWORD serial = 0;
    if (!NativePath::Encode(path, native) || !::GetVolumePathNameW(native.c_str(), root, MAX_PATH + 1)
        || !::GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
        return Kind::Unknown;
    const auto found = known.find(serial);
    if (found != known.end())
        return found->second;
    Kind kind = Kind::Unknown;
    wchar_t name[MAX_PATH + 1];
    if (::GetDriveTypeW(root) != DRIVE_REMOTE && ::GetVolumeNameForVolumeMountPointW(root, name, MAX_PATH + 1)) {
        // "\\?\Volume{...}\" names the volume's root folder; without the last
        // separator it names the volume itself, which takes the queries.
        std::wstring volumeName = name;
        if (!volumeName.empty() && volumeName.back() == L'\\')
            volumeName.pop_back();
        const HANDLE volume = ::CreateFileW(volumeName.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
        if (volume != INVALID_HANDLE_VALUE) {
            kind = OfVolume(volume);
            ::CloseHandle(volume);
        }
    }
    known[serial] = kind;
    return kind;
}
