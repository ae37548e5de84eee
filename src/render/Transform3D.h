#pragma once

#include <QTransform>
#include <array>

// A 4 × 4 layer transform with a perspective entry, in the row-vector
// convention of the layer model: a point (x, y, z, 1) times the matrix gives
// (X, Y, Z, W), and the point lands at (X / W, Y / W). m34 is the perspective
// entry (row 3, column 4): W = 1 + z × m34 for a matrix without other
// perspective terms, so a point turned towards +z with m34 = −1/d grows as if
// seen from a distance d.
//
// Value type, any thread. Built from the identity; never holds a non-finite
// entry (operations given non-finite numbers leave the matrix unchanged and
// say so in the log).
class Transform3D
{
public:
    Transform3D(); // the identity

    static Transform3D identity() { return Transform3D(); }
    // The identity with its perspective entry set.
    static Transform3D perspective(double m34);
    // A turn by `radians` about the axis (x, y, z) through the origin, turning
    // counter-clockwise as seen looking down the axis towards the origin. A
    // zero axis gives the identity.
    static Transform3D rotation(double radians, double x, double y, double z);
    static Transform3D translation(double tx, double ty, double tz = 0.0);
    static Transform3D scale(double sx, double sy, double sz = 1.0);

    // `first` applied before `then`: a point goes through first, then then.
    static Transform3D concat(const Transform3D &first, const Transform3D &then);
    // This transform with a turn applied before it, as a layer's turn is built
    // on its perspective: perspective(m34).rotated(angle, 0, 1, 0).
    Transform3D rotated(double radians, double x, double y, double z) const;
    Transform3D translated(double tx, double ty, double tz = 0.0) const;
    Transform3D scaled(double sx, double sy, double sz = 1.0) const;

    // Rows and columns count from 1, as m11 … m44 name them.
    double m(int row, int column) const { return m_m[size_t((row - 1) * 4 + (column - 1))]; }
    void setM(int row, int column, double value);
    double m34() const { return m(3, 4); }

    bool isIdentity() const;

    // The transform of the layer's own plane (z = 0), projected: exact for a
    // planar layer, perspective included. Row-vector QTransform, as above.
    QTransform toPlanar() const;

    bool operator==(const Transform3D &other) const = default;

private:
    std::array<double, 16> m_m;
};
