// Town hall gallery: a long hall with columns, pictures on the walls and
// windows on one side.
#include "town.inc"
light_source { <0, 7.5, 0> color rgb <1, 0.95, 0.85> * 0.8 area_light <6, 0, 0>, <0, 0, 6>, 3, 3 adaptive 1 }
light_source { <0, 7.5, 14> color rgb <1, 0.95, 0.85> * 0.5 }
light_source { <0, 7.5, -14> color rgb <1, 0.95, 0.85> * 0.5 }
light_source { <40, 30, 10> color rgb <1, 0.97, 0.9> * 0.9 }
background { color rgb <0.7, 0.82, 0.95> }

#declare Hall = difference {
  box { <-7, -0.1, -24>, <7, 8, 24> }
  box { <-6.5, 0, -23.5>, <6.5, 7.8, 23.5> }
  // windows on the right wall
  #for (Z, -18, 18, 6)
    box { <6, 2, Z - 1.2>, <7.5, 6, Z + 1.2> }
  #end
}
object { Hall texture { pigment { color rgb <0.93, 0.90, 0.84> } finish { diffuse 0.8 } } }
// chequered marble floor
box { <-6.5, -0.05, -23.5>, <6.5, 0.01, 23.5>
  // the cells are offset so that the floor surface lies inside a row of them
  texture { pigment { checker color rgb <0.92, 0.90, 0.86> color rgb <0.25, 0.24, 0.24> translate <0, 0.5, 0> } scale 1.2 finish { reflection 0.12 specular 0.5 } }
}
// coffered ceiling
box { <-7, 7.8, -24>, <7, 8.1, 24> pigment { color rgb <0.85, 0.80, 0.70> } }
#for (Z, -21, 21, 3)
  box { <-6.5, 7.3, Z - 0.15>, <6.5, 7.8, Z + 0.15> pigment { color rgb <0.75, 0.68, 0.56> } }
#end
// columns
#for (Z, -18, 18, 6)
  #for (X, -4, 4, 8)
    union {
      cylinder { <0, 0, 0>, <0, 7.3, 0>, 0.35 }
      box { <-0.5, 0, -0.5>, <0.5, 0.4, 0.5> }
      box { <-0.5, 6.9, -0.5>, <0.5, 7.3, 0.5> }
      texture { T_Stone21 scale 0.8 } translate <X, 0, Z + 3>
    }
  #end
#end
// framed pictures on the left wall
#declare S = seed(9);
#for (Z, -18, 18, 6)
  union {
    box { <-6.5, 2.1, Z - 1.5>, <-6.42, 4.6, Z + 1.5> texture { T_Wood14 scale 0.2 } }
    box { <-6.43, 2.3, Z - 1.3>, <-6.40, 4.4, Z + 1.3>
      pigment { bozo turbulence 0.7 color_map {
        [0 color rgb <rand(S), rand(S), rand(S)>] [0.5 color rgb <0.9, 0.8, 0.5>] [1 color rgb <rand(S), rand(S), rand(S)>] }
        scale 0.5 } }
  }
#end
// end walls: a door ahead, a banner behind
box { <-1.2, 0, 23.4>, <1.2, 3.2, 23.5> texture { T_Wood10 scale 0.4 } }
box { <-2.5, 3, -23.45>, <2.5, 6, -23.4> pigment { color rgb <0.55, 0.10, 0.12> } }
// a bench in the middle
union {
  box { <-1.5, 0.45, -0.4>, <1.5, 0.55, 0.4> }
  box { <-1.4, 0, -0.3>, <-1.2, 0.45, 0.3> }
  box { <1.2, 0, -0.3>, <1.4, 0.45, 0.3> }
  texture { T_Wood7 scale 0.2 } rotate <0, 90, 0> translate <0, 0, 4>
}
