// Lighthouse point: the lighthouse ahead on the headland, the open sea around.
#include "town.inc"
Sun(250, 22)
Sky(<0.95, 0.85, 0.70>, <0.30, 0.45, 0.75>)

plane { y, -4 texture { Water } }
// headland: a wide grassy dome that meets the sea about 64 m out
sphere { <0, -60, 0>, 60 scale <3, 1, 3> texture { Grass } }
// path to the lighthouse
box { <-0.8, -0.4, 0>, <0.8, 0.03, 30> texture { pigment { color rgb <0.66, 0.60, 0.50> } normal { bumps 0.4 scale 0.1 } } rotate <-1.6, 0, 0> }
// lighthouse
union {
  cone { <0, 0, 0>, 2.6, <0, 18, 0>, 1.8 pigment { gradient y color_map { [0.5 color rgb <0.95, 0.95, 0.93>] [0.5 color rgb <0.78, 0.12, 0.10>] } scale 6 } }
  cylinder { <0, 18, 0>, <0, 18.4, 0>, 2.5 pigment { color rgb 0.15 } }
  cylinder { <0, 18.4, 0>, <0, 21, 0>, 1.4 texture { pigment { color rgbf <0.9, 0.95, 1, 0.7> } finish { specular 0.8 reflection 0.3 } } }
  cone { <0, 21, 0>, 1.7, <0, 23, 0>, 0.2 pigment { color rgb <0.78, 0.12, 0.10> } }
  translate <0, -0.9, 30>
}
// keeper's cottage
House(6, 5, 3, Plaster[2], <7, -0.8, 26>, -20)
// a few rocks on the shore and a bench
#declare S = seed(5);
#for (I, 0, 30)
  sphere { 0, 1 scale <1 + rand(S) * 2, 0.6 + rand(S), 1 + rand(S) * 2>
    translate vrotate(<0, -3.8, 60 + rand(S) * 8>, <0, I * 12, 0>) texture { T_Stone13 scale 3 } }
#end
union {
  box { <-1, 0.45, -0.2>, <1, 0.5, 0.2> }
  box { <-1, 0.5, 0.15>, <1, 0.9, 0.2> }
  box { <-0.9, 0, -0.15>, <-0.8, 0.45, 0.15> }
  box { <0.8, 0, -0.15>, <0.9, 0.45, 0.15> }
  texture { T_Wood7 scale 0.2 }
  rotate <0, 200, 0> translate <-3, -0.05, -4>
}
