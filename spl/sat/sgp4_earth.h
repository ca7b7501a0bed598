// The Earth's side of the orbit model: Greenwich mean sidereal time, TEME positions turned
// into the geodetic sub-satellite point and height above the ellipsoid, and the elevation,
// azimuth and range seen from an observer on the ellipsoid.
#pragma once

// An ellipsoid: equatorial radius (km) and flattening.
struct Ellipsoid {
  double radius;
  double flattening;
};
extern const Ellipsoid kWgs72;
extern const Ellipsoid kWgs84;

// Greenwich mean sidereal time (radians, 0..2 pi) at a Julian date in UT1 (UTC will do for
// tracking: they differ by less than a second).
double GreenwichSiderealTime(double julianDate);

// Geodetic coordinates: degrees (north, east positive; longitude -180..180), km above the
// ellipsoid.
struct GeodeticPoint {
  double latitude;
  double longitude;
  double height;
};

// The point below a TEME position (km) at sidereal angle gmst (radians): geodetic latitude by
// iteration, height above the ellipsoid.
GeodeticPoint TemeToGeodetic(const double pos[3], double gmst, const Ellipsoid& earth);
// Geocentric latitude (degrees) of a geodetic latitude on the ellipsoid's surface.
double GeocentricLatitude(double geodeticLatitude, const Ellipsoid& earth);

// What an observer at a geodetic point sees of a TEME position.
struct LookAngles {
  double elevation;  // degrees above the horizon
  double azimuth;    // degrees from north through east, 0..360
  double range;      // km
};
LookAngles Look(const GeodeticPoint& observer, const double pos[3], double gmst,
                const Ellipsoid& earth);
