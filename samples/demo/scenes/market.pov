// Market square: a fountain ahead, market stalls around, houses on all sides.
#include "town.inc"
Sun(200, 48)
Sky(<0.80, 0.87, 0.95>, <0.28, 0.48, 0.82>)

plane { y, 0 texture { Cobbles } }
#declare S = seed(11);
// four rows of houses around a 40 m square
#for (I, 0, 6)
  House(5.5, 8, 8 + rand(S) * 5, Plaster[mod(I, 6)], <-18 + I * 6, 0, 22>, 0)
  House(5.5, 8, 8 + rand(S) * 5, Plaster[mod(I + 2, 6)], <-18 + I * 6, 0, -22>, 180)
  House(5.5, 8, 8 + rand(S) * 5, Plaster[mod(I + 4, 6)], <22, 0, -18 + I * 6>, 90)
  House(5.5, 8, 8 + rand(S) * 5, Plaster[mod(I + 1, 6)], <-22, 0, -18 + I * 6>, -90)
#end
// town hall tower behind the north row
union {
  box { <-3, 0, -3>, <3, 24, 3> }
  cone { <0, 24, 0>, 4.2, <0, 32, 0>, 0 texture { pigment { color rgb <0.2, 0.35, 0.3> } } }
  pigment { color rgb <0.85, 0.78, 0.64> }
  translate <0, 0, 30>
}
cylinder { <0, 17, 26.9>, <0, 17, 26.8>, 1.6 pigment { color rgb 1 } }
// fountain
union {
  difference { cylinder { <0, 0, 0>, <0, 0.7, 0>, 3 } cylinder { <0, 0.3, 0>, <0, 1, 0>, 2.7 } texture { T_Stone10 scale 0.6 } }
  cylinder { <0, 0.3, 0>, <0, 0.6, 0>, 2.7 texture { Water } }
  cylinder { <0, 0, 0>, <0, 2.2, 0>, 0.3 texture { T_Stone10 scale 0.3 } }
  sphere { <0, 2.3, 0>, 0.6 scale <1, 0.4, 1> texture { T_Stone10 scale 0.3 } }
  translate <0, 0, 9>
}
// market stalls with striped awnings
#macro Stall(Position, Turn, Colour)
  union {
    box { <-1.5, 0, -0.8>, <1.5, 0.9, 0.8> texture { T_Wood12 scale 0.4 } }
    #for (C, 0, 3)
      cylinder { <-1.4 + (C > 1 ? 2.8 : 0), 0, -0.7 + mod(C, 2) * 1.4>, <-1.4 + (C > 1 ? 2.8 : 0), 2.2, -0.7 + mod(C, 2) * 1.4>, 0.04 pigment { color rgb 0.3 } }
    #end
    box { <-1.7, 2.2, -1.1>, <1.7, 2.3, 1.1>
      pigment { gradient x color_map { [0.5 color rgb Colour] [0.5 color rgb 1] } scale 0.6 } }
    box { <-1.4, 0.9, -0.6>, <1.4, 1.05, 0.6>
      pigment { granite color_map { [0 color rgb <0.9, 0.3, 0.1>] [0.5 color rgb <0.95, 0.8, 0.2>] [1 color rgb <0.3, 0.6, 0.2>] } scale 0.1 } }
    rotate <0, Turn, 0> translate Position
  }
#end
Stall(<-7, 0, 6>, 20, <0.8, 0.1, 0.1>)
Stall(<7, 0, 5>, -20, <0.1, 0.3, 0.7>)
Stall(<-9, 0, -4>, 80, <0.1, 0.5, 0.2>)
Stall(<9, 0, -6>, -70, <0.85, 0.55, 0.1>)
Stall(<0, 0, -10>, 180, <0.6, 0.1, 0.5>)
Lamp(<-5, 0, 14>) Lamp(<5, 0, 14>) Lamp(<-14, 0, 0>) Lamp(<14, 0, 0>)
Tree(<-15, 0, 15>, 1.2) Tree(<15, 0, 15>, 1.1) Tree(<-15, 0, -15>, 1.0) Tree(<15, 0, -15>, 1.3)
