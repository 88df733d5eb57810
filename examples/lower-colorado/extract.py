#!/usr/bin/python3
"""Writes the shipped Lower Colorado basin from the national water model's own files.

usage: /usr/bin/python3 extract.py SOURCE_DIR [OUT_DIR]

SOURCE_DIR holds the model's test domain as the project's real data keeps it (domain/,
channel_forcing/, usgs_timeslices/); OUT_DIR defaults to this script's folder. Needs
Debian's python3-netcdf4. The files keep the model's formats, types, packing and fill values
and the links' own order; they lose only what the import and the demo do not read:

- domain/RouteLink.nc: the variables tovalin-import reads to map the links, all 11,248 links;
- domain/LAKEPARM.nc: the rows of the lakes that links of the RouteLink lie in;
- channel_forcing/*.CHRTOUT_DOMAIN1: time, feature_id, the lateral inflow's two terms
  (qBucket, qSfcLatRunoff) and the model's routed flow (streamflow), every hour;
- usgs/discharge.csv: the 15-minute observed discharge of the RouteLink's gauges, from the
  time-slice files, one line per gauge and time.

Global attributes are kept only where they describe the data (the output's valid time, the
feature type); the netCDF files are compressed (deflate level 9 with byte shuffling), which
changes no value. Running the script again writes the same values.
"""
import csv
import glob
import os
import sys

import netCDF4
import numpy as np

ROUTELINK_VARIABLES = ["link", "to", "Length", "So", "n", "ChSlp", "BtmWdth", "TopWdth",
                       "TopWdthCC", "nCC", "NHDWaterbodyComID", "gages", "order", "lat", "lon"]
LAKEPARM_VARIABLES = ["lake_id", "LkArea", "LkMxE", "WeirC", "WeirL", "WeirE", "OrificeC",
                      "OrificeA", "OrificeE", "Dam_Length", "ifd", "lat", "lon"]
CHRTOUT_VARIABLES = ["time", "feature_id", "qBucket", "qSfcLatRunoff", "streamflow"]
KEPT_GLOBAL_ATTRIBUTES = {"featureType", "Conventions", "Convention", "station_dimension",
                          "model_output_valid_time", "model_output_type",
                          "model_configuration"}
NO_LAKE = -9999
DEFLATE_LEVEL = 9


def refers_elsewhere(attribute, value, names):
    """An attribute naming variables that are not copied (coordinates, a grid mapping)."""
    if attribute not in ("coordinates", "grid_mapping"):
        return False
    return any(name not in names for name in str(value).split())


def copy_file(source_path, target_path, names, rows=None):
    """Copies the named variables of a netCDF file, with their dimensions and attributes.

    rows, where given, is an index array along the first dimension of every variable that
    lies along it (the file's row dimension): only those rows are kept, in their order.
    """
    with netCDF4.Dataset(source_path) as source, \
            netCDF4.Dataset(target_path, "w", format=source.data_model) as target:
        source.set_auto_maskandscale(False)
        row_dimension = source[names[0]].dimensions[0]
        needed = {d for name in names for d in source[name].dimensions}
        for dimension in source.dimensions.values():
            if dimension.name not in needed:
                continue
            size = None if dimension.isunlimited() else len(dimension)
            if dimension.name == row_dimension and rows is not None:
                size = len(rows)
            target.createDimension(dimension.name, size)
        target.setncatts({k: source.getncattr(k) for k in source.ncattrs()
                          if k in KEPT_GLOBAL_ATTRIBUTES})
        for name in names:
            variable = source[name]
            attributes = {k: variable.getncattr(k) for k in variable.ncattrs()
                          if not refers_elsewhere(k, variable.getncattr(k), names)}
            fill = attributes.pop("_FillValue", None)
            compress = variable.ndim > 0 and source.data_model.startswith("NETCDF4")
            copy = target.createVariable(name, variable.dtype, variable.dimensions,
                                         zlib=compress, complevel=DEFLATE_LEVEL,
                                         shuffle=compress, fill_value=fill)
            copy.setncatts(attributes)
            copy.set_auto_maskandscale(False)
            values = variable[:]
            if rows is not None and variable.dimensions[:1] == (row_dimension,):
                values = values[rows]
            copy[:] = values


def lakes_of_the_basin(routelink_path, lakeparm_path):
    """Rows of LAKEPARM whose lake a link of the RouteLink lies in, in the file's order."""
    with netCDF4.Dataset(routelink_path) as routelink:
        waterbodies = set(int(v) for v in routelink["NHDWaterbodyComID"][:] if v != NO_LAKE)
    with netCDF4.Dataset(lakeparm_path) as lakeparm:
        ids = lakeparm["lake_id"][:]
    return np.array([i for i, lake in enumerate(ids) if int(lake) in waterbodies])


def gauges_of_the_basin(routelink_path):
    with netCDF4.Dataset(routelink_path) as routelink:
        texts = netCDF4.chartostring(routelink["gages"][:])
    return {t.strip() for t in texts if t.strip()}


def write_observations(slice_paths, gauges, target_path):
    """One line per gauge and time slice: time (UTC), station id, discharge, its quality."""
    rows = []
    for path in slice_paths:
        with netCDF4.Dataset(path) as observed:
            stations = netCDF4.chartostring(observed["stationId"][:])
            times = netCDF4.chartostring(observed["time"][:])
            discharge = observed["discharge"][:]
            quality = observed["discharge_quality"][:]
            for station, time, value, grade in zip(stations, times, discharge, quality):
                station = station.strip()
                if station not in gauges:
                    continue
                text = ""
                if not np.ma.is_masked(value) and np.isfinite(value):
                    # the shortest text that reads back to the file's single-precision value
                    text = str(np.float32(value))
                stamp = time.strip().replace("_", "T") + "Z"
                rows.append((stamp, station, text, int(grade)))
    rows.sort()
    with open(target_path, "w", newline="") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(["time_utc", "station", "discharge_m3s", "quality_percent"])
        writer.writerows(rows)
    return len(rows), len({r[1] for r in rows})


def main(argv):
    if len(argv) not in (2, 3):
        sys.exit(__doc__)
    source = argv[1]
    out = argv[2] if len(argv) == 3 else os.path.dirname(os.path.abspath(__file__))
    for folder in ("domain", "channel_forcing", "usgs"):
        os.makedirs(os.path.join(out, folder), exist_ok=True)

    routelink = os.path.join(source, "domain", "RouteLink.nc")
    lakeparm = os.path.join(source, "domain", "LAKEPARM.nc")
    copy_file(routelink, os.path.join(out, "domain", "RouteLink.nc"), ROUTELINK_VARIABLES)
    lakes = lakes_of_the_basin(routelink, lakeparm)
    copy_file(lakeparm, os.path.join(out, "domain", "LAKEPARM.nc"), LAKEPARM_VARIABLES, lakes)

    forcing = sorted(glob.glob(os.path.join(source, "channel_forcing", "*.CHRTOUT_DOMAIN1")))
    for path in forcing:
        copy_file(path, os.path.join(out, "channel_forcing", os.path.basename(path)),
                  CHRTOUT_VARIABLES)

    slices = sorted(glob.glob(os.path.join(source, "usgs_timeslices", "*.usgsTimeSlice.ncdf")))
    lines, stations = write_observations(slices, gauges_of_the_basin(routelink),
                                         os.path.join(out, "usgs", "discharge.csv"))
    print("RouteLink: %d variables; LAKEPARM: %d lakes; %d CHRTOUT files; "
          "observations: %d lines of %d gauges from %d time slices"
          % (len(ROUTELINK_VARIABLES), len(lakes), len(forcing), lines, stations, len(slices)))


if __name__ == "__main__":
    main(sys.argv)
